// The window procedure: the controller choice, the key commands, repaints, close and destroy.
#pragma once

#include <string>

#include "app/window_services.h"

void windowProcedure(const WindowEvent& event);
// Whether the player has chosen the mouse, the keyboard or a game controller yet.
bool controllerChoiceMade();
void handleKeyDown(int key);
// What F5 does once its dialog has given a path: loads the recording (a failure is reported to
// the player) and replays what the recorder then holds.
void replayRecordingFile(const std::string& path);
// Draws the current state once without advancing anything (a repaint while the game runs).
void redrawScene();
// F2's replay from the start of the recording: playback, a new game, replaying.
void startReplay();

constexpr const char* kLoadTitle = "Load Dravik File";
constexpr const char* kSaveTitle = "Save Dravik File";
constexpr const char* kLoadFailedMessage = "記録ファイルの読み込みに失敗しました";
constexpr const char* kSaveFailedMessage = "記録ファイルの保存に失敗しました";
