#pragma once
// The demo product: a small product folder to try kitmaker on, and the options that make the demo
// kit of it (the same road a publisher takes).
#include "kitbuild.h"

#include <string>
#include <vector>

namespace kitmaker {

// Writes the demo product into `folder`, which must not exist or be empty: texts, data files, the
// music as a file of the product, a start script, nested folders, a symbolic link, an empty file and
// names in several scripts. Throws KitError.
void writeSampleProduct(const std::string& folder);

// The options of the demo kit made from the demo product in `productFolder` into `kitFolder`.
KitOptions demoKitOptions(const std::string& productFolder, const std::string& kitFolder);

// Those options as a kitmaker command line (for showing what the demo does).
std::vector<std::string> commandLine(const KitOptions& options);

} // namespace kitmaker
