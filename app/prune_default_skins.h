#pragma once
// Removing the default skins that don't suit this screen from the user's skins folder.

namespace mv {

// Keeps the default skin of the screen's size class (and, on a square screen, also the one a
// class below) and deletes the others. Failures are ignored.
void PruneDefaultSkins();

} // namespace mv
