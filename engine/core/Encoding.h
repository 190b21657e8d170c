#pragma once

namespace rowvane {

/// How the bytes of an input file are read as text.
enum class Encoding { Utf8, Windows1252, Utf16LE, Utf16BE };

}  // namespace rowvane
