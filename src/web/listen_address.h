// The address the page listens on must be one interface, never all of them.
#pragma once

#include <string>

namespace fenban::web {

// True when binding to `address` would listen on every interface: any
// spelling of the unspecified address ("0", "0x0", "000.000.000.000",
// "::0", "[::]", "0:0:0:0:0:0:0:0", "::ffff:0.0.0.0", ...), a name that
// resolves to one, or an empty text. The text is read as the system reads
// it when binding.
bool IsEveryInterface(const std::string& address);

}  // namespace fenban::web
