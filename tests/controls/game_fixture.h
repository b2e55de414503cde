// A fresh game state for every test, with the flight values a test sets up by hand.
#pragma once

#include <gtest/gtest.h>

#include "game/game_state.h"

class FreshGame : public ::testing::Test {
  protected:
    void SetUp() override { resetGameState(); }
    void TearDown() override {
        // The tests own whatever objects they hand to the game state.
        game.flightRecorder = nullptr;
        game.inputPlatform = nullptr;
        game.inputSystem = nullptr;
        resetGameState();
    }
};
