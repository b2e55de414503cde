// Frames between steps: the pose before each step kept, the snaps, the blended frame.
#include "game/frame_blender.h"

#include "aircraft/result_screen.h"
#include "hud/overlays.h"

int FrameBlender::step(uint32_t tick) {
    StepPicture before = picture_;
    bool stall = stepped_ && tick - lastTick_ > kStallMs;
    before_ = poseOf(game);
    int result = 0;
    picture_ = StepPicture::Nothing;
    if (game.device)
        result = advanceStep(picture_);
    // A new game (whichever key began it) starts with its first intro step.
    bool newGame = game.introActive && game.introFrame == 1;
    if (before != StepPicture::Flight || picture_ != StepPicture::Flight || stall || newGame ||
        !stepped_)
        before_ = poseOf(game);
    if (picture_ != StepPicture::Nothing)
        shown_ = picture_;
    stepped_ = true;
    lastTick_ = tick;
    return result;
}

FlightPose FrameBlender::poseAt(float fraction) const {
    return blendPoses(before_, poseOf(game), fraction);
}

void FrameBlender::draw(float fraction) const {
    if (!game.device)
        return;
    if (!showing() && shown_ == StepPicture::Flight && pauseShowsPanel(game)) {
        drawPausedPicture(game);
        return;
    }
    if (shown_ == StepPicture::Flight)
        drawFlight(game, FrameKind::Step, poseAt(showing() ? fraction : 1.0f));
    else if (shown_ == StepPicture::ResultScreen)
        drawResultScreen(game, resultScreen);
    drawOverlays(game, shown_);
}
