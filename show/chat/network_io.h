// What a network source runs on: its own Asio I/O context, and the TLS settings its secure
// connections use (the system's certificate authorities, or those of SSL_CERT_FILE).
#pragma once

#include <utility> // before Asio, whose coroutine support needs std::exchange

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>

namespace show::chat {

struct NetworkIo {
    NetworkIo() { tls.set_default_verify_paths(); }

    boost::asio::io_context context;
    boost::asio::ssl::context tls{boost::asio::ssl::context::tls_client};
};

} // namespace show::chat
