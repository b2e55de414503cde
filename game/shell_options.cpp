// The shell's options, one record for the process.
#include "game/shell_options.h"

ShellOptions shellOptions;
