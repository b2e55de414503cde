// The window procedure: the controller choice, the key commands, repaints, close and destroy.
#pragma once

#include "app/window_services.h"

void windowProcedure(const WindowEvent& event);
// Whether the player has chosen the mouse, the keyboard or a game controller yet.
bool controllerChoiceMade();
void handleKeyDown(int key);
// Draws the current state once without advancing anything (a repaint while the game runs).
void redrawScene();

constexpr const char* kLoadTitle = "Load Dravik File";
constexpr const char* kSaveTitle = "Save Dravik File";
constexpr const char* kLoadFailedMessage = "記録ファイルの読み込みに失敗しました";
constexpr const char* kSaveFailedMessage = "記録ファイルの保存に失敗しました";
