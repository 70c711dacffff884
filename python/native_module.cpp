// The compiled part of the Python package, ternwick._native: it turns numpy
// arrays into ImageViews (without a copy where the layout allows), runs the
// library with the interpreter's lock released, and hands back plain tuples.
// The package's __init__.py builds the Symbol objects and exceptions from them.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ternwick/ternwick.h"

namespace py = pybind11;

namespace {

const char* codeName(ternwick::ErrorCode code) {
    using ternwick::ErrorCode;
    switch (code) {
        case ErrorCode::None: return "None";
        case ErrorCode::InvalidArgument: return "InvalidArgument";
        case ErrorCode::FileNotFound: return "FileNotFound";
        case ErrorCode::PermissionDenied: return "PermissionDenied";
        case ErrorCode::NotARegularFile: return "NotARegularFile";
        case ErrorCode::ReadFailed: return "ReadFailed";
        case ErrorCode::UnsupportedFormat: return "UnsupportedFormat";
        case ErrorCode::Truncated: return "Truncated";
        case ErrorCode::Corrupt: return "Corrupt";
        case ErrorCode::TooLarge: return "TooLarge";
        case ErrorCode::OutOfMemory: return "OutOfMemory";
    }
    return "Corrupt";
}

// (code name, reason), or None when there is no error.
py::object errorTuple(const ternwick::Error& error) {
    if (!error) return py::none();
    return py::make_tuple(codeName(error.code), error.reason);
}

ternwick::ReaderOptions readerOptions(long long maxSymbols, double budgetMs) {
    if (maxSymbols < 1 || maxSymbols > INT_MAX) {
        throw py::value_error("max_symbols must be a whole number from 1 up, not " + std::to_string(maxSymbols));
    }
    if (!(budgetMs >= 0.0) || std::isinf(budgetMs)) {
        throw py::value_error("budget_ms must be a finite number of milliseconds, 0 or more (0: no limit)");
    }
    ternwick::ReaderOptions options;
    options.maxSymbols = static_cast<int>(maxSymbols);
    options.timeBudgetMs = budgetMs;
    return options;
}

std::string shapeText(const py::buffer_info& info) {
    std::string text = "(";
    for (std::size_t i = 0; i < info.shape.size(); ++i) {
        text += (i ? ", " : "") + std::to_string(info.shape[i]);
    }
    return text + (info.shape.size() == 1 ? ",)" : ")");
}

// The array as a picture: H x W grey, H x W x 3 RGB or H x W x 4 RGBA, uint8.
// Rows whose pixels lie next to each other, at a positive row stride, are
// read where they are; any other layout (negative or zero strides, pixels
// apart) is copied into `copy` first.
ternwick::ImageView viewOf(const py::buffer_info& info, std::vector<std::uint8_t>& copy) {
    const auto dims = info.ndim;
    const bool shapeOk = dims == 2 || (dims == 3 && (info.shape[2] == 3 || info.shape[2] == 4));
    if (!shapeOk) {
        throw py::value_error("expected an H x W (grey), H x W x 3 (RGB) or H x W x 4 (RGBA) array, got shape " +
                              shapeText(info));
    }
    if (info.shape[0] == 0 || info.shape[1] == 0) throw py::value_error("the array holds no pixels: shape " + shapeText(info));
    const py::ssize_t height = info.shape[0];
    const py::ssize_t width = info.shape[1];
    if (height > INT_MAX || width > INT_MAX ||
        static_cast<std::uint64_t>(height) * static_cast<std::uint64_t>(width) > ternwick::kMaxPicturePixels) {
        throw py::value_error("the picture is too large: more than " + std::to_string(ternwick::kMaxPicturePixels) +
                              " pixels");
    }
    const py::ssize_t channels = dims == 3 ? info.shape[2] : 1;
    const ternwick::PixelFormat format = channels == 1   ? ternwick::PixelFormat::Grey
                                         : channels == 3 ? ternwick::PixelFormat::RGB
                                                         : ternwick::PixelFormat::RGBA;
    const py::ssize_t rowStride = info.strides[0];
    const py::ssize_t pixelStride = info.strides[1];
    const py::ssize_t channelStride = dims == 3 ? info.strides[2] : 1;
    const auto* base = static_cast<const std::uint8_t*>(info.ptr);

    const bool packedRows = channelStride == 1 && pixelStride == channels && rowStride >= width * channels;
    if (packedRows) return {base, static_cast<int>(width), static_cast<int>(height), rowStride, format};

    copy.resize(static_cast<std::size_t>(height * width * channels));
    std::uint8_t* out = copy.data();
    for (py::ssize_t y = 0; y < height; ++y) {
        for (py::ssize_t x = 0; x < width; ++x) {
            const std::uint8_t* pixel = base + y * rowStride + x * pixelStride;
            for (py::ssize_t c = 0; c < channels; ++c) *out++ = pixel[c * channelStride];
        }
    }
    return {copy.data(), static_cast<int>(width), static_cast<int>(height), width * channels, format};
}

// read_array(array, max_symbols, budget_ms) -> (symbols, error)
py::tuple readArray(const py::array& array, long long maxSymbols, double budgetMs) {
    const ternwick::ReaderOptions options = readerOptions(maxSymbols, budgetMs);
    if (array.dtype().kind() != 'u' || array.itemsize() != 1) {
        throw py::value_error("expected an array of uint8, got dtype " + std::string(py::str(array.dtype())));
    }
    // The buffer request holds the array's memory (numpy refuses to resize
    // an array whose buffer is out) until the decode is over.
    const py::buffer_info info = array.request();
    std::vector<std::uint8_t> copy;
    ternwick::ReadResult result;
    {
        const ternwick::ImageView view = viewOf(info, copy);
        py::gil_scoped_release unlocked;
        result = ternwick::readSymbols(view, options);
    }
    py::list symbols;
    for (const ternwick::Symbol& symbol : result.symbols) {
        py::list corners;
        for (const ternwick::Point& p : symbol.corners) corners.append(py::make_tuple(p.x, p.y));
        py::list eci;
        for (const ternwick::Eci& e : symbol.eci) eci.append(py::make_tuple(e.value, e.position));
        py::object structuredAppend = py::none();
        if (symbol.structuredAppend) {
            const ternwick::StructuredAppend& a = *symbol.structuredAppend;
            structuredAppend = py::make_tuple(a.position, a.total, a.fileId1, a.fileId2);
        }
        symbols.append(py::make_tuple(
            py::bytes(reinterpret_cast<const char*>(symbol.bytes.data()), symbol.bytes.size()), symbol.rows,
            symbol.columns, symbol.scheme, py::tuple(corners), symbol.pass, symbol.correctedErrors,
            symbol.erasures, symbol.symbologyId, symbol.gs1, symbol.gs1Hri, py::tuple(eci), structuredAppend,
            symbol.mirrored));
    }
    return py::make_tuple(symbols, errorTuple(result.error));
}

// A loaded picture as an H x W uint8 array that owns the library's pixels.
py::tuple pictureTuple(ternwick::LoadResult&& loaded) {
    if (!loaded) return py::make_tuple(py::none(), errorTuple(loaded.error));
    auto* pixels = new std::vector<std::uint8_t>(std::move(loaded.picture.grey));
    py::capsule owner(pixels, [](void* p) { delete static_cast<std::vector<std::uint8_t>*>(p); });
    py::array_t<std::uint8_t> array({static_cast<py::ssize_t>(loaded.picture.height),
                                     static_cast<py::ssize_t>(loaded.picture.width)},
                                    pixels->data(), owner);
    return py::make_tuple(array, py::none());
}

// load_file(path as bytes) -> (array or None, error)
py::tuple loadFile(const py::bytes& path) {
    const std::string name = path;
    ternwick::LoadResult loaded;
    {
        py::gil_scoped_release unlocked;
        loaded = ternwick::loadPicture(name);
    }
    return pictureTuple(std::move(loaded));
}

// load_memory(bytes) -> (array or None, error)
py::tuple loadMemory(const py::bytes& data) {
    char* bytes = nullptr;
    py::ssize_t size = 0;
    if (PyBytes_AsStringAndSize(data.ptr(), &bytes, &size) != 0) throw py::error_already_set();
    ternwick::LoadResult loaded;
    {
        // bytes objects never change, so they may be read without the lock.
        py::gil_scoped_release unlocked;
        loaded = ternwick::loadPictureMemory(reinterpret_cast<const std::uint8_t*>(bytes), static_cast<std::size_t>(size));
    }
    return pictureTuple(std::move(loaded));
}

}  // namespace

PYBIND11_MODULE(_native, m) {
    m.doc() = "The compiled part of ternwick; use the functions of the ternwick package instead.";
    m.def("version", &ternwick::version, "The library's version.");
    m.def("read_array", &readArray, py::arg("array"), py::arg("max_symbols"), py::arg("budget_ms"),
          "Reads the symbols of a uint8 array: ([symbol tuples], error or None).");
    m.def("load_file", &loadFile, py::arg("path"), "Loads a picture file: (H x W uint8 array or None, error or None).");
    m.def("load_memory", &loadMemory, py::arg("data"),
          "Loads a picture from its bytes: (H x W uint8 array or None, error or None).");
}
