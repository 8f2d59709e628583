// Argument checks shared by the stand-in's interfaces.
#pragma once

namespace standin {

inline bool IsPort(int port) { return port >= 1 && port <= 65535; }
// A port argument where -1 asks for the engine's default.
inline bool IsPortOrDefault(int port) { return port == -1 || IsPort(port); }

}  // namespace standin
