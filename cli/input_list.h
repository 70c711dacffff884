// The files the command decodes, from its arguments: files and "-" as given,
// folders walked for pictures.
#pragma once

#include <string>
#include <vector>

namespace ternwick {

struct InputFile {
    std::string path;       // as given or as found in a folder; "-" for standard input
    std::string listError;  // set when a folder could not be walked: the reason, reported for the folder
};

// The name standing for standard input.
inline constexpr const char* kStandardInputName = "-";

// True for a file name a folder walk takes as a picture: .png, .bmp, .jpg,
// .jpeg, .jpe or .jfif, in any letter case.
bool hasPictureName(const std::string& path);

// Every argument that is not a folder as it is; each folder replaced by the
// pictures in it (and, with recursive, in its subfolders), sorted by path.
// Anything unreadable keeps its place, so that its own report says why.
std::vector<InputFile> expandInputs(const std::vector<std::string>& arguments, bool recursive);

}  // namespace ternwick
