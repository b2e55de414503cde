// Moving and drawing apart: drawing the same state again changes nothing and sends the same calls,
// a repaint still tests for contact, and the orders that a step relies on (a bump among the cones
// blocks a pass; the cockpit view's pink sky comes from the cone pass) hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "aircraft/result_screen.h"
#include "app/window_procedure.h"
#include "app/window_services.h"
#include "controls/flight_recorder.h"
#include "controls/input_reader.h"
#include "fakes/game_harness.h"
#include "game/frame_step.h"
#include "game/game_state.h"
#include "game/random.h"
#include "hud/spark_effect.h"
#include "hud/sparkle_effect.h"

namespace {

// Everything a drawing could disturb, as bytes: the game state, the result screen, the sparks,
// the sparkles, the generator and the recorder.
std::vector<unsigned char> snapshot() {
    std::vector<unsigned char> out;
    auto add = [&](const void* p, size_t n) {
        auto* b = static_cast<const unsigned char*>(p);
        out.insert(out.end(), b, b + n);
    };
    add(&game, sizeof game);
    add(&resultScreen, sizeof resultScreen);
    const SparkEffect& s = *game.burstEffect;
    add(s.positionX, sizeof s.positionX);
    add(s.positionY, sizeof s.positionY);
    add(s.positionZ, sizeof s.positionZ);
    add(s.age, sizeof s.age);
    const SparkleEffect& k = *game.sparkleEffect;
    add(k.positionX, sizeof k.positionX);
    add(k.positionY, sizeof k.positionY);
    add(k.positionZ, sizeof k.positionZ);
    add(k.age, sizeof k.age);
    uint32_t random = randomState();
    add(&random, sizeof random);
    const FlightRecorder& r = *game.flightRecorder;
    add(&r.position, sizeof r.position);
    add(&r.recordedLength, sizeof r.recordedLength);
    add(&r.isRecording, sizeof r.isRecording);
    return out;
}

std::vector<std::string> callTexts(const RecordingDevice& device) {
    std::vector<std::string> out;
    for (const DeviceCall& c : device.calls) out.push_back(c.text);
    return out;
}

class MoveDrawTest : public GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        harness.startPlaying();
        harness.finishIntro();
        // Every cone but the ones a test places is too low to touch.
        for (int i = 0; i < ObstacleCount; ++i) game.obstacleHeights[i] = 10;
        game.speed = 10;
    }
    // A cone right under the plane.
    static void coneUnderThePlane(int index) {
        game.obstaclePositions[index] = {0, 0, 10};
        game.obstacleRadii[index] = 100;
        game.obstacleHeights[index] = 150;
    }
    // Draws the state `times` times, each on a clean log; the calls of each drawing.
    std::vector<std::vector<std::string>> drawRepeatedly(StepPicture picture, int times) {
        std::vector<std::vector<std::string>> out;
        for (int i = 0; i < times; ++i) {
            harness.device().reset();
            drawFrame(game, picture);
            out.push_back(callTexts(harness.device()));
        }
        return out;
    }
    size_t soundsPlayed() const { return harness.music.callsStartingWith("playSecondary").size(); }
};

TEST_F(MoveDrawTest, DrawingTheSameStateThreeTimesChangesNothingAndSendsTheSameCalls) {
    // Mid-bump in the cockpit view, steering held: sparks, tumble, pink sky, recorder running.
    coneUnderThePlane(3);
    KeyboardState left = FakeInput::keys({kScanLeft});
    harness.input.pushKeyboard(left);
    harness.step();
    toggleView();
    for (int i = 0; i < 5; ++i) {
        harness.input.pushKeyboard(left);
        harness.step();
    }
    ASSERT_EQ(game.bumping, 1);
    ASSERT_GT(game.flightRecorder->position, 0u);

    std::vector<unsigned char> before = snapshot();
    auto calls = drawRepeatedly(StepPicture::Flight, 3);
    EXPECT_EQ(snapshot(), before);
    ASSERT_GT(calls[0].size(), 250u);
    EXPECT_EQ(calls[1], calls[0]);
    EXPECT_EQ(calls[2], calls[0]);
    EXPECT_EQ(std::count(calls[0].begin(), calls[0].end(), "DrawPointList 0 75"), 1)
        << "the sparks are drawn";

    // The result screen, with the sparkle fountain running.
    toggleView();
    game.gameOver = 1;
    game.halted = 1;
    for (int i = 0; i < 260; ++i) harness.step();
    ASSERT_GT(resultScreen.shownSparkles, 0);
    before = snapshot();
    calls = drawRepeatedly(StepPicture::ResultScreen, 3);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(calls[1], calls[0]);
    EXPECT_EQ(calls[2], calls[0]);
}

TEST_F(MoveDrawTest, TheStepsFrameIsTheDrawingOfTheStateItLeaves) {
    coneUnderThePlane(7);
    for (int i = 0; i < 3; ++i) harness.step();
    ASSERT_EQ(game.bumping, 1);
    harness.device().reset();
    harness.step();
    std::vector<std::string> stepped = callTexts(harness.device());
    ASSERT_EQ(stepped.back(), "Present");
    stepped.pop_back();
    EXPECT_EQ(drawRepeatedly(StepPicture::Flight, 1)[0], stepped);
}

TEST_F(MoveDrawTest, ARepaintTestsForContactWithoutMovingAnything) {
    game.startupStage = 2;
    coneUnderThePlane(42);
    Vec3 where = game.obstaclePositions[42];
    float heading = game.heading;
    size_t sounds = soundsPlayed();
    harness.device().reset();

    windowProcedure({EventType::Paint, 0, 0});
    // The repaint found the cone and started the bump, with its crash sound.
    EXPECT_EQ(game.bumping, 1);
    EXPECT_EQ(soundsPlayed(), sounds + 1);
    EXPECT_EQ(game.obstaclePositions[42].x, where.x);
    EXPECT_EQ(game.obstaclePositions[42].z, where.z);
    EXPECT_EQ(game.heading, heading);
    // It neither clears nor shows sparks, and it presents what it drew.
    EXPECT_EQ(harness.device().count("Clear"), 0u);
    EXPECT_EQ(harness.device().count("DrawPointList"), 0u);
    EXPECT_EQ(harness.device().count("DrawSubset"), 250u + 4u + 4u);
    EXPECT_EQ(harness.device().calls.back().op, "Present");

    // A repaint passes a target standing at the plane, too.
    game.bumping = 0;
    game.obstaclePositions[42] = {2900, 0, 2900};
    game.targetPositions[2] = {0, 0, 0};
    windowProcedure({EventType::Paint, 0, 0});
    EXPECT_EQ(game.targetPassed[2], 1);
}

TEST_F(MoveDrawTest, ABumpFoundAmongTheConesBlocksAPassInTheSameStep) {
    game.targetPositions[1] = {0, 0, 10};
    coneUnderThePlane(249);  // the very last cone tested
    harness.step();
    EXPECT_EQ(game.bumping, 1);
    EXPECT_EQ(game.targetPassed[1], 0);

    // Without the cone the same target is passed.
    harness.step();  // the bump runs on
    game.bumping = 0;
    game.obstaclePositions[249] = {2900, 0, 2900};
    game.obstacleHeights[249] = 10;
    game.targetPositions[1] = {0, 0, 10};
    harness.step();
    EXPECT_EQ(game.targetPassed[1], 1);
}

TEST_F(MoveDrawTest, CockpitSkyTurnsPinkFromTheConePassForTheNextFrame) {
    toggleView();
    harness.step();
    uint32_t sky = game.clearColour;
    ASSERT_NE(sky, 0xFFFF8888u);

    // The touching cone is the first: every cone after it turns the sky pink, but this step's
    // frame still clears with the sky; the next one clears pink.
    coneUnderThePlane(0);
    harness.device().reset();
    harness.step();
    ASSERT_EQ(game.bumping, 1);
    EXPECT_EQ(game.clearColour, 0xFFFF8888u);
    EXPECT_EQ(harness.device().callsOf("Clear").at(0).colour, sky);
    harness.device().reset();
    harness.step();
    EXPECT_EQ(harness.device().callsOf("Clear").at(0).colour, 0xFFFF8888u);
}

TEST_F(MoveDrawTest, ABumpFoundAtTheLastConeLeavesTheSkyForOneMoreFrame) {
    toggleView();
    harness.step();
    uint32_t sky = game.clearColour;
    // No cone comes after the last one to turn the sky pink in this step.
    coneUnderThePlane(ObstacleCount - 1);
    harness.step();
    ASSERT_EQ(game.bumping, 1);
    EXPECT_EQ(game.clearColour, sky);
    harness.device().reset();
    harness.step();
    EXPECT_EQ(harness.device().callsOf("Clear").at(0).colour, sky);
    EXPECT_EQ(game.clearColour, 0xFFFF8888u);
}

TEST_F(MoveDrawTest, CockpitConesTumbleWithTheStepsFirstTumbleAndTargetsWithItsLast) {
    coneUnderThePlane(5);
    toggleView();
    harness.step();  // the bump starts: tumble 0 -> 10
    harness.device().reset();
    harness.step();  // drawn at 10, turned on to 20
    ASSERT_EQ(game.bumpTumble, 20.0f);
    EXPECT_EQ(game.drawnTumble, 10.0f);
    std::vector<Matrix> worlds;
    for (const DeviceCall& c : harness.device().callsOf("SetTransform"))
        if (c.transform == TransformState::World)
            worlds.push_back(c.matrix);
    ASSERT_GE(worlds.size(), 254u);
    // The first cone is drawn with the tumble the step began with, the first target with the
    // tumble the step left.
    const Vec3& cone = game.obstaclePositions[0];
    Matrix coneBase =
        matrixRotationX(-1.5707964f) * matrixTranslation(0, 0.5f, 0) *
        matrixScaling(game.obstacleRadii[0], game.obstacleHeights[0], game.obstacleRadii[0]) *
        matrixTranslation(cone.x, game.groundLevel, cone.z) *
        matrixRotationY(game.heading * kDegToRad) * matrixRotationZ(game.bank * kDegToRad);
    Matrix expectedCone = coneBase * matrixRotationX(10 * kDegToRad);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(worlds[0].m[r][c], expectedCone.m[r][c]);
    const Vec3& target = game.targetPositions[0];
    float tr = game.targetRadii[0];
    Matrix expectedTarget = matrixTranslation(0, 1, 0) * matrixScaling(tr, 5 * tr, tr) *
                            matrixTranslation(target.x, game.groundLevel, target.z) *
                            matrixRotationY(game.heading * kDegToRad) *
                            matrixRotationZ(game.bank * kDegToRad) *
                            matrixRotationX(20 * kDegToRad);
    const Matrix& t = worlds[ObstacleCount];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(t.m[r][c], expectedTarget.m[r][c]);
}

}  // namespace
