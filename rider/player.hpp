// TPlayer: the player's bike, its handling, crashes, drawing, radar and engine sound.
#pragma once

#include "core/bounds.hpp"
#include "packs/fitted_panel.hpp"
#include "rider/bike_models.hpp"
#include "sprites/game_sprites.hpp"
#include "world/track.hpp"

namespace zw {

class IRaceHost;

struct TTyreMark {
  double X = 0, Y = 0;
  int32_t Heading = 0;
  bool Used = false;
};

class TPlayer : public TMyImageSprite {
 public:
  // The rider at top-left (x, y) on the bike chosen on the bike-selection screen.
  static TPlayer* Create(TSpriteEngine& engine, double x, double y);
  TPlayer(TSpriteEngine& engine, double x, double y);

  int32_t HitsLeft = 3;
  bool TimeUp = false;
  bool EndSequence = false;
  int32_t CrashTimer = 0;
  bool Crashed = false;
  bool HornOn = false;
  int32_t BoostTimer = 0;
  bool BoostActive = false;
  bool SndTopGear = false, SndAccel = false, SndShift = false, SndCoast = false, SndIdle = false,
       SndBrake = false;
  TPoint MarkA, MarkB;
  double RearRadius = 0;
  double CentreX = 0, CentreY = 0;
  double CornerRadius = 0;
  double CornerAngle = 0;
  TSlots<TPoint, 1, 4> Corners;
  bool GearShiftMark = false;
  double Speed = 0;
  double ScrollSpeed = 0;
  double Steer = 0;
  int32_t Heading = 0;
  double Decel = 0;
  bool CtlLeft = false, CtlRight = false, CtlUp = false, CtlDown = false, CtlBrake = false,
       CtlHorn = false;
  bool OnRoad = false;
  bool Finished = false;
  bool CrashHeadingSet = false;
  int32_t LeanState = 0;
  bool PrevLeft = false, PrevRight = false;
  double LeanStartHeading = 0;
  int32_t RadarGrid[17][13] = {};  // [1..16][1..12]
  TSlots<TTyreMark, 1, 100> Marks;
  int32_t NewestMark = 1;
  double RadarShift = 0;  // kept when the middle radar row shows no road
  // The two side panels, copied again each frame only where something was drawn over them; the
  // right one with the bike in its bay and the radar's frame laid in.
  TStandingPictures Panels;
  TFittedPanel RightPanel;
  // False: the bike and the radar's frame are drawn over the panel every frame instead, which
  // must leave the same frames.
  bool FitRightPanel = true;
  // The rectangles the radar's cells and dots were drawn in this frame.
  std::vector<TRect> RadarCovered;

  // The model the rider rides.
  int Model() const;

  // Rates of the rider's model at its speed.
  double PowerFactor() const { return zw::PowerFactor(Model()); }
  double AccelRate() const { return zw::AccelRate(Model(), Speed); }
  double BrakeRate() const { return zw::BrakeRate(Model()); }
  double SteerRate() const { return zw::SteerRate(Model(), Speed); }
  double DragRate() const { return zw::DragRate(Model(), Speed); }

  // Control setters.
  void Brake() { Decel = BrakeRate(); }
  void NoDecel() { Decel = 0; }
  void Coast() { Decel = DragRate(); }
  void ExtraBrake();
  void Accelerate();
  void SteerLeft();
  void SteerRight();
  void ClampSteer();
  void LeanLeft();
  void LeanRight();
  void StandUp();
  void AddScore(int points);
  void AddLife(int kind);
  void ResetAfterCrash();
  void ClearStatus(bool crashed);

  // Movement.
  void Move(int moveCount) override;
  void UpdateLean();
  void ApplyControls();
  void ApplyDecel();
  void ScrollMarks();
  void AddMark(double x, double y);
  void RemoveMark(int i);
  void DropOffscreenMarks();
  void UpdateRacePosition();
  bool IsRoadAt(double x, double y) const;
  bool AllCornersOnRoad() const;
  void ComputeCorners();
  void RollOut();

  // Collisions and crashes.
  void PushTimer();
  void VehicleContacts();
  void TakeHit();
  void TakeHits(int n);
  // The roadside obstacles the race window shows (its offset bgX, bgY), against the rider's
  // corners: one that touches takes every hit left.
  void ObstaclesAgainstRider(const TTrackState& track, double bgX, double bgY);
  void Crash();
  void ScaleSpeed(bool withSound, double f);
  // The same push as ScaleSpeed's factor (Speed + delta) / Speed, safe at a standstill.
  void AddSpeed(bool withSound, double delta);
  double RowDirection(int row) const;
  void BrakeSpill();
  void CrashStep();
  void FindRestartPosition();
  void RestartLevel(bool nextLevel);

  // Drawing.
  void Draw() override;
  // The radar's cells, dots and frame. With `frameStands`, the frame stands on the panel drawn
  // this frame, and is drawn again only over the cells and dots.
  void DrawRadar(bool frameStands = false);
  static void DrawBikeInBay(TSurface& s, const TPictureItem* bike);
  // List 3's pieces of the radar's frame.
  static constexpr int RadarFrameTop = 12, RadarFrameFoot = 13;
  static void DrawRadarFrame(TSurface& s, const TPictureItem* top, const TPictureItem* foot,
                             const std::vector<TRect>* only);

  // Engine sound.
  void PlayEngineSound(int n);
  void StopRiderSounds(bool all);
  void ResumeEngineSound(bool withHorn);
  void UpdateEngineSound();

  IRaceHost& Host() const;
};

}  // namespace zw
