// The folder an install writes the archive engine into.
#pragma once

// Removes "install-resources" under the product's temporary folder with
// everything in it; whatever cannot be removed stays, silently.
void RemoveInstallResources();
