// What the program sets up about its standard streams before anything else runs.
#pragma once

// Called first in main: every standard stream (0, 1, 2) is left usable for the program's
// reports, and reads and writes pass their bytes unchanged.
void RichteKanaeleEin() noexcept;
