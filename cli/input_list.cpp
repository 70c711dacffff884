#include "input_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace ternwick {
namespace {

namespace fs = std::filesystem;

// The pictures under one folder, sorted; the error when it cannot be walked.
template <typename Iterator>
std::string walk(const std::string& folder, std::vector<std::string>& found) {
    std::error_code error;
    Iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != Iterator(); it.increment(error)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) && hasPictureName(it->path().filename().string())) {
            found.push_back(it->path().string());
        }
    }
    std::sort(found.begin(), found.end());
    return error ? "cannot walk the folder: " + error.message() : std::string();
}

}  // namespace

bool hasPictureName(const std::string& path) {
    const auto dot = path.rfind('.');
    if (dot == std::string::npos) return false;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* known : {"png", "bmp", "jpg", "jpeg", "jpe", "jfif"}) {
        if (extension == known) return true;
    }
    return false;
}

std::vector<InputFile> expandInputs(const std::vector<std::string>& arguments, bool recursive) {
    std::vector<InputFile> inputs;
    for (const std::string& argument : arguments) {
        std::error_code error;
        if (argument == kStandardInputName || !fs::is_directory(argument, error)) {
            inputs.push_back({argument, {}});
            continue;
        }
        std::vector<std::string> found;
        const std::string walkError = recursive ? walk<fs::recursive_directory_iterator>(argument, found)
                                                : walk<fs::directory_iterator>(argument, found);
        for (std::string& path : found) inputs.push_back({std::move(path), {}});
        if (!walkError.empty()) inputs.push_back({argument, walkError});
    }
    return inputs;
}

}  // namespace ternwick
