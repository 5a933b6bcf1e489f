// The HTTP client of the platform the game is built for.
#pragma once

#ifdef _WIN32
#include "platform/win/win_http.hpp"
namespace zw {
using TGameHttp = TWinHttp;
}
#else
#include "platform/net/curl_http.hpp"
namespace zw {
using TGameHttp = TCurlHttp;
}
#endif
