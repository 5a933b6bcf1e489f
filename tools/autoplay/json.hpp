// A small JSON object writer for the state dumps.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

namespace zw {

class TJson {
 public:
  std::string Text;
  void Open() {
    Begin();
    Text += "{";
    First = true;
  }
  void Close() {
    Text += "}";
    First = false;
  }
  void OpenArray() {
    Begin();
    Text += "[";
    First = true;
  }
  void CloseArray() {
    Text += "]";
    First = false;
  }
  void Key(const char* k) {
    Begin();
    Text += "\"";
    Text += k;
    Text += "\":";
    First = true;  // the value follows without a comma
  }
  void Value(long long v) {
    Begin();
    Text += std::to_string(v);
  }
  void Value(bool v) {
    Begin();
    Text += v ? "true" : "false";
  }
  void Value(double v) {
    Begin();
    if (!std::isfinite(v)) {
      Text += "null";
      return;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    Text += buf;
  }
  void Value(const std::string& s) {
    Begin();
    Text += "\"";
    for (unsigned char c : s) {
      if (c == '"' || c == '\\') {
        Text += '\\';
        Text += static_cast<char>(c);
      } else if (c < 0x20) {
        char b[8];
        std::snprintf(b, sizeof b, "\\u%04x", c);
        Text += b;
      } else
        Text += static_cast<char>(c);
    }
    Text += "\"";
  }
  template <typename T>
  void Field(const char* k, T v) {
    Key(k);
    Value(v);
  }
  void Field(const char* k, int v) {
    Key(k);
    Value(static_cast<long long>(v));
  }
  void Field(const char* k, unsigned v) {
    Key(k);
    Value(static_cast<long long>(v));
  }
  void Field(const char* k, const char* v) {
    Key(k);
    Value(std::string(v));
  }

 private:
  bool First = true;
  void Begin() {
    if (!First) Text += ",";
    First = false;
  }
};

}  // namespace zw
