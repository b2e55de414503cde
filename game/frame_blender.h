// Frames between steps: the steps move the world without drawing, and each frame draws the world
// that far between the last two steps, blending their poses. Only the frames look; the steps are
// the same steps, so recordings replay exactly.
#pragma once

#include <cstdint>
#include <memory>

#include "game/flight_pose.h"
#include "game/frame_step.h"

class FrameBlender {
  public:
    // One frame step that moves without drawing, at tick `tick`; returns what stepFrame returns.
    // The pose before the step is kept. Across a discontinuity (a new game, the first step after
    // a pause, a dialog or a stall, the result screen) the frames snap to the new pose.
    int step(uint32_t tick);
    // Whether frames have something to show: the last step showed the flight or the result
    // screen. Not while paused, where the last frame stays.
    bool showing() const { return picture_ != StepPicture::Nothing; }
    // Draws the frame `fraction` (0..1) of the way from the pose before the last step to the
    // pose after it, changing nothing (no present). A fraction of 1 draws the state as it stands.
    // After a step that showed nothing, the last picture shown is drawn as the state stands.
    void draw(float fraction) const;
    // The result screen `fraction` of the way from the step before the last to the last.
    void drawBlendedResultScreen(float fraction) const;
    // The pose a frame at `fraction` draws.
    FlightPose poseAt(float fraction) const;
    // The last step's picture.
    StepPicture picture() const { return picture_; }

  private:
    FlightPose before_;
    // The result screen before and after the last step, and a frame's blend of the two (made
    // when the result screen first shows).
    std::unique_ptr<ResultPose[]> resultPoses_;
    bool resultBlends_ = false;
    StepPicture picture_ = StepPicture::Nothing;
    StepPicture shown_ = StepPicture::Nothing;  // the last picture other than Nothing
    uint32_t lastTick_ = 0;
    bool stepped_ = false;
};

// Steps further apart than this are a stall (a dialog, a drag, a stopped process): the frames
// snap rather than glide over it.
constexpr uint32_t kStallMs = 100;
