#pragma once

#include "engine/workloads.h"
#include "platform/datafolders.h"

#include <functional>
#include <string>
#include <string_view>

namespace zentaro::app {

// The online help: "http://<host>/help/<slug>/".
std::string HelpAddress(std::string_view serverHost, std::string_view productName);

// The test length a text in the length field stands for: a whole number is
// brought into the engine's range (kMinTestLength..kMaxTestLength), anything
// else reads as the smallest length.
int TestLengthFromText(std::string_view text);

// x scaled from the window's design resolution to the screen's, rounded to the
// nearest whole number (halves away from zero).
int ScaleDimension(int x, int screenDpi, int formDpi);

// The largest font size, starting from pointSize and going down one point at a
// time, at which widthAt(size) fits maxWidth; never below minPoints (1 unless
// said) and never more than 10,000 steps. A text that already fits keeps
// pointSize.
int ShrinkToFit(int pointSize, int maxWidth, const std::function<int(int pointSize)>& widthAt,
                int minPoints = 1);

// Where the program keeps its own files: the program's folder when it is a
// folder of the program's own (not a system folder, see DataFolders) and a file
// can be created there, else the user's roaming application-data folder, then
// company, then product (both created, failures ignored). Always ends in the
// system's separator.
std::string ChooseDataFolder(const std::string& programFolder, const platform::DataFolders& folders,
                             const std::string& company, const std::string& product);

} // namespace zentaro::app
