// Cursor: the pointer shapes a host can show.
#pragma once

namespace platform::host {

enum class Cursor { Arrow, Hand, Wait, SizeAll, Cross };

}  // namespace platform::host
