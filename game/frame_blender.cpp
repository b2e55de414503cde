// Frames between steps: the pose before each step kept, the snaps, the blended frame.
#include "game/frame_blender.h"

#include "aircraft/result_screen.h"
#include "hud/overlays.h"

int FrameBlender::step(uint32_t tick) {
    StepPicture before = picture_;
    bool stall = stepped_ && tick - lastTick_ > kStallMs;
    before_ = poseOf(game);
    if (before == StepPicture::ResultScreen) {
        if (!resultPoses_)
            resultPoses_ = std::make_unique<ResultPose[]>(3);
        resultPoseOf(game, resultScreen, resultPoses_[0]);
    }
    int result = 0;
    picture_ = StepPicture::Nothing;
    if (game.device)
        result = advanceStep(picture_);
    // A new game (whichever key began it) starts with its first intro step.
    bool newGame = game.introActive && game.introFrame == 1;
    if (before != StepPicture::Flight || picture_ != StepPicture::Flight || stall || newGame ||
        !stepped_)
        before_ = poseOf(game);
    resultBlends_ = before == StepPicture::ResultScreen && picture_ == StepPicture::ResultScreen &&
                    !stall && resultPoses_;
    // Both ends of the result screen's blend are kept once a step; its frames only mix them.
    if (resultBlends_)
        resultPoseOf(game, resultScreen, resultPoses_[1]);
    if (picture_ != StepPicture::Nothing)
        shown_ = picture_;
    stepped_ = true;
    lastTick_ = tick;
    return result;
}

void FrameBlender::drawBlendedResultScreen(float fraction) const {
    ResultPose& blended = resultPoses_[2];
    blendResultPoses(resultPoses_[0], resultPoses_[1], fraction, blended);
    drawResultScreen(game, blended.screen, blended.sparkleX, blended.sparkleY, blended.sparkleZ);
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
    else if (shown_ == StepPicture::ResultScreen && resultBlends_ && showing() && fraction < 1.0f)
        drawBlendedResultScreen(fraction);
    else if (shown_ == StepPicture::ResultScreen)
        drawResultScreen(game, resultScreen);
    drawOverlays(game, shown_);
}
