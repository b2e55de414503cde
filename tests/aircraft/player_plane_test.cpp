// The player's plane: its size, its roll and yaw with the bank, its tumble and red light in a bump.
#include "aircraft/player_plane.h"

#include <gtest/gtest.h>

#include "aircraft/plane_fixtures.h"

namespace {

constexpr float kPi = 3.141592654f;

// The plane's part of a frame step: drawn with the tumble the step began with, then tumbled.
int stepPlane() {
    game.drawnTumble = game.bumpTumble;
    int result = drawPlayerPlane(game);
    tumblePlayerPlane();
    return result;
}

// A repaint draws the plane as it stands.
int repaintPlane() {
    game.drawnTumble = game.bumpTumble;
    return drawPlayerPlane(game);
}

class PlayerPlaneTest : public PictureTest {
  protected:
    void SetUp() override {
        PictureTest::SetUp();
        makeTwoPartModel(model, *device, 2.5f);
        game.planeModel = &model;
        device->reset();
    }
    PlaneModel model{"media/myplane.x"};
};

TEST_F(PlayerPlaneTest, LevelFlightDrawsTheNoseForwardAtRadiusFive) {
    EXPECT_EQ(stepPlane(), 1);
    Matrix world = worldAtDraw(*device);
    // The file's nose along -z flies along +z, at twice the size for a radius of 2.5.
    Vec3 nose = transformCoord({0, 0, -1}, world);
    EXPECT_NEAR(nose.x, 0, 1e-5);
    EXPECT_NEAR(nose.y, 0, 1e-5);
    EXPECT_NEAR(nose.z, 2, 1e-5);
    Vec3 wing = transformCoord({1, 0, 0}, world);
    EXPECT_NEAR(wing.x, -2, 1e-5);
    EXPECT_EQ(device->count("DrawSubset"), 2u);
    EXPECT_EQ(device->lastState(RenderState::Ambient), 0x00404040u);
}

TEST_F(PlayerPlaneTest, BankOfThirtyRollsSixtyAndYawsMinusFifteen) {
    game.bank = 30;
    stepPlane();
    Matrix expected = matrixRotationY(kPi) * matrixRotationZ(60 * kDegToRad) *
                      matrixScaling(2, 2, 2) * matrixRotationY(-15 * kDegToRad);
    expectMatrixNear(worldAtDraw(*device), expected);

    // The same by its effect: the wing tip rises to 60 degrees, then swings about y by -15.
    Vec3 wing = transformCoord({-1, 0, 0}, worldAtDraw(*device));
    float c60 = std::cos(60 * kDegToRad), s60 = std::sin(60 * kDegToRad);
    float c15 = std::cos(-15 * kDegToRad), s15 = std::sin(-15 * kDegToRad);
    EXPECT_NEAR(wing.x, 2 * c60 * c15, 1e-5);
    EXPECT_NEAR(wing.y, 2 * s60, 1e-5);
    EXPECT_NEAR(wing.z, -2 * c60 * s15, 1e-5);
}

TEST_F(PlayerPlaneTest, OutsideABumpTheCallersAmbientLevelLightsThePlane) {
    device->setRenderState(RenderState::Ambient, 0x00550000);
    stepPlane();
    EXPECT_EQ(ambientAtDraw(*device), 0x00550000u);
    EXPECT_EQ(device->lastState(RenderState::Ambient), 0x00404040u);
    EXPECT_EQ(game.bumpTumble, 0.0f);
}

TEST_F(PlayerPlaneTest, BumpTumblesUnderARedLightAndWrapsPast360) {
    game.bumping = 1;
    game.bumpTumble = 340;
    stepPlane();
    Matrix base =
        matrixRotationY(kPi) * matrixRotationZ(0) * matrixScaling(2, 2, 2) * matrixRotationY(0);
    expectMatrixNear(worldAtDraw(*device), base * matrixRotationX(340 * kDegToRad));
    EXPECT_EQ(ambientAtDraw(*device), 0x00F02020u);
    EXPECT_EQ(device->lastState(RenderState::Ambient), 0x00404040u);
    EXPECT_FLOAT_EQ(game.bumpTumble, 360);  // exactly 360 is not wrapped

    device->reset();
    stepPlane();
    expectMatrixNear(worldAtDraw(*device), base * matrixRotationX(360 * kDegToRad), 1e-4f);
    EXPECT_FLOAT_EQ(game.bumpTumble, 20);  // 380 wrapped
}

TEST_F(PlayerPlaneTest, RepaintDuringABumpKeepsTheTumble) {
    game.bumping = 1;
    game.bumpTumble = 100;
    repaintPlane();
    EXPECT_FLOAT_EQ(game.bumpTumble, 100);
    repaintPlane();
    EXPECT_FLOAT_EQ(game.bumpTumble, 100);
    EXPECT_EQ(ambientAtDraw(*device), 0x00F02020u);
    Matrix base = matrixRotationY(kPi) * matrixScaling(2, 2, 2);
    expectMatrixNear(device->callsOf("SetTransform").back().matrix,
                     base * matrixRotationX(100 * kDegToRad));
}

TEST_F(PlayerPlaneTest, ModelWithoutAMeshDrawsNothing) {
    model.mesh.reset();
    EXPECT_EQ(stepPlane(), 1);
    EXPECT_EQ(device->count("DrawSubset"), 0u);
    EXPECT_EQ(device->count("SetMaterial"), 0u);
}

}  // namespace
