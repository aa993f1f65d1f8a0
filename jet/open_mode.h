// How a database is opened: for reading only, or for reading and writing.
#pragma once

namespace jet {

enum class OpenMode { ReadOnly, ReadWrite };

}  // namespace jet
