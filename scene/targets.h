// The four targets: moved, drawn without fog, and tested for a pass.
#pragma once

bool drawTargets(bool moving);
