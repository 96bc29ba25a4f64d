#include "listening_socket.h"

namespace gateway {

using asio::ip::tcp;

bool openListeningSocket(tcp::acceptor &acceptor, const std::string &where,
                         const std::string &defaultHost, std::string &error) {
    const auto colon = where.rfind(':');
    const std::string host = colon == std::string::npos ? defaultHost : where.substr(0, colon);
    const std::string port = colon == std::string::npos ? where : where.substr(colon + 1);
    asio::error_code failure;
    tcp::resolver resolver(acceptor.get_executor());
    const auto endpoints = resolver.resolve(
        host, port, tcp::resolver::passive | tcp::resolver::numeric_service, failure);
    if (!failure && endpoints.empty()) failure = asio::error::host_not_found;
    if (!failure) {
        const tcp::endpoint endpoint = *endpoints.begin();
        acceptor.open(endpoint.protocol(), failure);
        if (!failure) acceptor.set_option(tcp::acceptor::reuse_address(true), failure);
        if (!failure) acceptor.bind(endpoint, failure);
        if (!failure) acceptor.listen(asio::socket_base::max_listen_connections, failure);
    }
    if (failure) error = failure.message();
    return !failure;
}

}  // namespace gateway
