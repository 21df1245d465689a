// The one font of every window: "Lucida Console" with a cell 12 pixels
// high, or the nearest monospaced font where it is not installed.
#pragma once

#include <QFont>

namespace belmora::app {

QFont FormFont();

}  // namespace belmora::app
