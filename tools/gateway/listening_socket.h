// A listening TCP socket at "[ADDRESS:]PORT", as --listen and --metrics take it.
#pragma once

#include <asio.hpp>
#include <string>

namespace gateway {

// Opens `acceptor` listening at `where` (`defaultHost` when no address is given); false with
// the reason in `error` when the address does not resolve or cannot be bound.
bool openListeningSocket(asio::ip::tcp::acceptor &acceptor, const std::string &where,
                         const std::string &defaultHost, std::string &error);

}  // namespace gateway
