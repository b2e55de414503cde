// One frame step of the game: moving the world (input, the phases, the flight, the contact and
// pass tests, the clock), then drawing the state it left, then present.
#pragma once

struct GameState;
struct FlightPose;

// What a step shows.
enum class StepPicture { Nothing, Flight, ResultScreen };
// A frame of a step, or a repaint of the window: a repaint neither clears nor re-lights, keeps
// the standing ambient level and shows no sparks.
enum class FrameKind { Step, Repaint };

int stepFrame();
int stepIntro();
int stepFinish();
void toggleView();

// The moving half of a step: everything it changes, nothing drawn. `cutShort` when the input read
// failed (the step does nothing more).
StepPicture moveFrame(bool& cutShort);
// A whole step without drawing: moveFrame, then the music's tempo from the speed. Returns as
// stepFrame does; `picture` says what the step would show.
int advanceStep(StepPicture& picture);
// The flight part of a step's movement (the bounce, the cones, the plane's tumble, the targets,
// the sparks, speed and turn decay, the clock).
void moveFlight();
// The contact and pass tests and the clock of a window repaint, without moving anything.
void touchForRepaint();
// Draws the state as it stands, changing none of it (no present).
void drawFrame(const GameState& state, StepPicture picture);
// A pause that shows its panel: the flight as it stands is drawn again under the panel (the
// original left the last frame on screen, which looks like a game that froze).
bool pauseShowsPanel(const GameState& state);
// The paused flight and its panel, without presenting.
void drawPausedPicture(const GameState& state);
void drawFlight(const GameState& state, FrameKind kind);
// The flight drawn in the pose given (a frame between two steps draws a blended pose).
void drawFlight(const GameState& state, FrameKind kind, const FlightPose& pose);
