#include "show/http_server.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_map>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

namespace show::http {

namespace {

namespace beast = boost::beast;
namespace bhttp = boost::beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using error_code = boost::system::error_code;

// Handlers run here, off the connections' thread: a few threads and a bounded queue.
class HandlerPool {
public:
    HandlerPool(int threads, std::size_t capacity) : capacity_(capacity) {
        for (int i = 0; i < threads; ++i)
            threads_.emplace_back([this] { Run(); });
    }
    ~HandlerPool() { Stop(); }

    // False when the queue is full or the pool has stopped.
    bool Submit(std::function<void()> task) {
        std::lock_guard lock(mutex_);
        if (stopping_ || tasks_.size() >= capacity_) return false;
        tasks_.push_back(std::move(task));
        wake_.notify_one();
        return true;
    }
    // Drops what waits and joins the threads once their current task is done.
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            tasks_.clear();
        }
        wake_.notify_all();
        for (std::thread& thread : threads_)
            if (thread.joinable()) thread.join();
    }

private:
    void Run() {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
                if (stopping_) return;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

    const std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

struct Route {
    Handler handler;
    bool linkable = false;
};

} // namespace

class Session;

class Server::Impl {
public:
    explicit Impl(Limits limits)
        : limits(limits), pool(limits.handlerThreads, limits.queuedRequests) {}

    bool Start(const std::string& address, int port, std::string& error);
    void Stop();
    void Accept();
    // The route for a request, null when none; `other` says the path has another method's.
    const Route* Find(const std::string& method, const std::string& path, bool& other) const;
    // A client's connection opens or closes; false when it is one too many.
    bool Opened(const std::string& remote);
    void Closed(const std::string& remote);

    const Limits limits;
    std::map<std::pair<std::string, std::string>, Route> routes;
    Guard guard;
    net::io_context io{1};
    tcp::acceptor acceptor{io};
    std::thread thread;
    HandlerPool pool;
    int port = 0;
    std::atomic<bool> stopping{false};

    std::atomic<std::uint64_t> refusedConnections{0}, deadlines{0}, oversized{0}, busy{0};
    // Connections open, by client and in all (a connection may end on any thread).
    std::mutex clientsMutex;
    std::unordered_map<std::string, std::size_t> perClient;
    std::atomic<std::size_t> open{0};
    // Every connection, for Stop() to cut (the connections' thread only).
    std::set<std::weak_ptr<Session>, std::owner_less<std::weak_ptr<Session>>> sessions;

    // Streams' threads still running; Stop() waits for them.
    std::mutex streamMutex;
    std::condition_variable streamEnded;
    int streams = 0;
};

// One client's connection: read a head, let the guard look, read the body, have a handler
// answer, write, and again while the client keeps the connection alive.
class Session : public std::enable_shared_from_this<Session> {
public:
    Session(Server::Impl& server, tcp::socket socket, std::string remote)
        : server_(server), stream_(std::move(socket)), remote_(std::move(remote)),
          buffer_(server.limits.headBytes + kReadAhead) {}
    ~Session() { server_.Closed(remote_); }

    void Begin() { ReadHead(); }
    // Cuts the connection; what is pending ends with an error. Connections' thread.
    void Close() {
        closed_ = true;
        error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.close();
    }

private:
    // Bytes read past a head at once, at most: the start of a body.
    static constexpr std::size_t kReadAhead = 16 * 1024;
    // How long and how much of a refused request is read and thrown away before the close.
    static constexpr std::chrono::seconds kLingerTime{2};
    static constexpr std::size_t kLingerBytes = 8 * 1024 * 1024;

    void ReadHead() {
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(server_.limits.headBytes));
        parser_->body_limit(server_.limits.bodyBytes);
        stream_.expires_after(server_.limits.head);
        bhttp::async_read_header(
            stream_, buffer_, *parser_,
            [self = shared_from_this()](error_code ec, std::size_t) { self->OnHead(ec); });
    }

    void OnHead(error_code ec) {
        if (ec) return Failed(ec);
        const auto& head = parser_->get();
        request_ = {};
        request_.method.assign(head.method_string().data(), head.method_string().size());
        const std::string_view target(head.target().data(), head.target().size());
        const std::size_t question = std::min(target.find('?'), target.size());
        request_.path = std::string(target.substr(0, question));
        if (question < target.size()) request_.query = std::string(target.substr(question + 1));
        for (const auto& field : head)
            request_.headers.emplace_back(
                std::string(field.name_string().data(), field.name_string().size()),
                std::string(field.value().data(), field.value().size()));
        request_.remote = remote_;
        keepAlive_ = head.keep_alive();

        bool other = false;
        route_ = server_.Find(request_.method, request_.path, other);
        request_.linkable = route_ && route_->linkable;
        if (server_.guard)
            if (std::optional<Response> refusal = server_.guard(request_))
                return Refuse(std::move(*refusal));
        if (!route_) {
            Response missing;
            missing.Text(other ? 405 : 404, other ? "method not allowed" : "no such page");
            return Refuse(std::move(missing));
        }
        const auto length = parser_->content_length();
        if (length && *length > server_.limits.bodyBytes) return TooLarge();
        if (parser_->is_done()) return Dispatch();
        stream_.expires_after(server_.limits.body);
        bhttp::async_read(stream_, buffer_, *parser_,
                          [self = shared_from_this()](error_code e, std::size_t) {
                              if (e) return self->Failed(e);
                              self->Dispatch();
                          });
    }

    void Failed(error_code ec) {
        if (ec == beast::error::timeout) ++server_.deadlines;
        if (ec == bhttp::error::header_limit) {
            ++server_.oversized;
            Response refusal;
            refusal.Text(431, "the request's head is too large");
            return Refuse(std::move(refusal));
        }
        if (ec == bhttp::error::body_limit) return TooLarge();
        const bool quiet = ec == bhttp::error::end_of_stream || ec == beast::error::timeout ||
                           ec == net::error::operation_aborted || ec == net::error::eof ||
                           ec == net::error::connection_reset || closed_;
        if (quiet) return Close();
        Response refusal;
        refusal.Text(400, "not a request this server reads");
        Refuse(std::move(refusal));
    }

    void TooLarge() {
        ++server_.oversized;
        Response refusal;
        refusal.Text(413, "the request's body is larger than " +
                              std::to_string(server_.limits.bodyBytes) + " bytes");
        Refuse(std::move(refusal));
    }

    // Answers and closes. What else the client sends meanwhile is read a short while and thrown
    // away, so that a client still sending a body it was refused gets to read the answer.
    void Refuse(Response response) {
        keepAlive_ = false;
        linger_ = true;
        Send(std::move(response));
    }

    void Linger() {
        error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.expires_after(kLingerTime);
        Discard();
    }

    void Discard() {
        discard_.resize(kReadAhead);
        stream_.async_read_some(net::buffer(discard_),
                                [self = shared_from_this()](error_code ec, std::size_t got) {
                                    self->discarded_ += got;
                                    if (ec || self->discarded_ > kLingerBytes) return self->Close();
                                    self->Discard();
                                });
    }

    void Dispatch() {
        request_.body = std::move(parser_->get().body());
        stream_.expires_never(); // a handler may wait on a person; the client may go meanwhile
        const Handler* handler = &route_->handler;
        const bool queued = server_.pool.Submit(
            [self = shared_from_this(), handler, request = std::move(request_)] {
                Response response;
                try {
                    (*handler)(request, response);
                } catch (...) {
                    response = {};
                    response.Text(500, "the request failed inside the host");
                }
                net::post(self->stream_.get_executor(),
                          [self, response = std::move(response)]() mutable {
                              self->Send(std::move(response));
                          });
            });
        if (!queued) {
            ++server_.busy;
            Response refusal;
            refusal.Text(503, "the show is busy; try again in a moment");
            refusal.SetHeader("Retry-After", "1");
            Refuse(std::move(refusal));
        }
    }

    template <typename Message>
    void Dress(Message& message, const Response& response) {
        message.result(static_cast<unsigned>(response.status));
        message.set(bhttp::field::content_type, response.contentType);
        for (const auto& [name, value] : response.headers)
            message.set(name, value);
        message.keep_alive(keepAlive_);
    }

    void Send(Response response) {
        if (closed_) return;
        if (response.stream) return SendStream(std::move(response));
        auto message = std::make_shared<bhttp::response<bhttp::string_body>>();
        message->version(11);
        Dress(*message, response);
        message->body() = std::move(response.body);
        message->prepare_payload();
        stream_.expires_after(server_.limits.write);
        bhttp::async_write(stream_, *message,
                           [self = shared_from_this(), message](error_code ec, std::size_t) {
                               if (ec) return self->Failed(ec);
                               if (self->linger_) return self->Linger();
                               if (!self->keepAlive_) return self->Close();
                               self->ReadHead();
                           });
    }

    // A stream: the head now, then each text as a chunk, written one at a time.
    void SendStream(Response response) {
        keepAlive_ = false;
        auto head = std::make_shared<bhttp::response<bhttp::empty_body>>();
        head->version(11);
        Dress(*head, response);
        head->chunked(true);
        auto serializer = std::make_shared<bhttp::response_serializer<bhttp::empty_body>>(*head);
        stream_.expires_after(server_.limits.write);
        bhttp::async_write_header(
            stream_, *serializer,
            [self = shared_from_this(), head, serializer](error_code ec, std::size_t) {
                if (ec) return self->Failed(ec);
                self->writing_ = false;
                self->WriteNextChunk();
            });
        writing_ = true;
        StartProducer(std::move(response.stream));
    }

    void StartProducer(std::function<std::optional<std::string>()> produce) {
        {
            std::lock_guard lock(server_.streamMutex);
            ++server_.streams;
        }
        std::thread([session = shared_from_this(), produce = std::move(produce)]() mutable {
            Server::Impl& server = session->server_;
            {
                // The connection and the stream are let go here, before the server may be.
                const std::shared_ptr<Session> self = std::move(session);
                const auto producer = std::move(produce);
                Produce(self, producer);
            }
            std::lock_guard lock(server.streamMutex);
            --server.streams;
            server.streamEnded.notify_all();
        }).detach();
    }

    static void Produce(const std::shared_ptr<Session>& self,
                        const std::function<std::optional<std::string>()>& produce) {
        while (!self->closed_ && !self->server_.stopping) {
            std::optional<std::string> text = produce();
            if (!text) break;
            net::post(self->stream_.get_executor(), [self, text = std::move(*text)]() mutable {
                self->QueueChunk(std::move(text));
            });
        }
        net::post(self->stream_.get_executor(), [self] { self->QueueEnd(); });
    }

    void QueueChunk(std::string text) {
        if (closed_) return;
        if (chunks_.size() >= server_.limits.streamBacklog) return Close(); // it reads no more
        chunks_.push_back(std::move(text));
        WriteNextChunk();
    }

    void QueueEnd() {
        ended_ = true;
        WriteNextChunk();
    }

    void WriteNextChunk() {
        if (writing_ || closed_) return;
        if (chunks_.empty()) {
            if (!ended_) return;
            writing_ = true;
            stream_.expires_after(server_.limits.write);
            net::async_write(
                stream_, bhttp::make_chunk_last(),
                [self = shared_from_this()](error_code, std::size_t) { self->Close(); });
            return;
        }
        writing_ = true;
        current_ = std::move(chunks_.front());
        chunks_.pop_front();
        stream_.expires_after(server_.limits.write);
        net::async_write(stream_, bhttp::make_chunk(net::buffer(current_)),
                         [self = shared_from_this()](error_code ec, std::size_t) {
                             self->writing_ = false;
                             if (ec) return self->Failed(ec);
                             self->WriteNextChunk();
                         });
    }

    Server::Impl& server_;
    beast::tcp_stream stream_;
    std::string remote_;
    beast::flat_buffer buffer_;
    std::optional<bhttp::request_parser<bhttp::string_body>> parser_;
    Request request_;
    const Route* route_ = nullptr;
    bool keepAlive_ = false;
    bool linger_ = false;
    std::vector<char> discard_;
    std::size_t discarded_ = 0;
    std::atomic<bool> closed_{false};
    // A stream's texts not yet written (the connections' thread only).
    std::deque<std::string> chunks_;
    std::string current_;
    bool writing_ = false;
    bool ended_ = false;
};

bool Server::Impl::Start(const std::string& address, int wanted, std::string& error) {
    error_code ec;
    const auto ip = net::ip::make_address(address == "localhost" ? "127.0.0.1" : address, ec);
    if (!ec) {
        const tcp::endpoint where(ip, static_cast<unsigned short>(wanted));
        acceptor.open(where.protocol(), ec);
        // No SO_REUSEPORT: a second show on a port in use must fail, not share it.
        if (!ec) acceptor.set_option(net::socket_base::reuse_address(true), ec);
        if (!ec) acceptor.bind(where, ec);
        if (!ec) acceptor.listen(net::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        error = "cannot listen on " + address + ":" + std::to_string(wanted) +
                " (in use, or not an address of this machine): " + ec.message();
        error_code ignored;
        acceptor.close(ignored);
        return false;
    }
    port = acceptor.local_endpoint().port();
    Accept();
    thread = std::thread([this] { io.run(); });
    return true;
}

void Server::Impl::Accept() {
    acceptor.async_accept(net::make_strand(io), [this](error_code ec, tcp::socket socket) {
        if (ec) {
            if (ec != net::error::operation_aborted && !stopping) Accept();
            return;
        }
        error_code ignored;
        const auto peer = socket.remote_endpoint(ignored);
        std::string remote = ignored ? std::string("?") : peer.address().to_string();
        if (!Opened(remote)) {
            ++refusedConnections;
            socket.close(ignored);
        } else {
            socket.set_option(tcp::no_delay(true), ignored); // small replies, written at once
            auto session = std::make_shared<Session>(*this, std::move(socket), std::move(remote));
            if (sessions.size() > 2 * open + 64)
                std::erase_if(sessions, [](const auto& weak) { return weak.expired(); });
            sessions.insert(session);
            session->Begin();
        }
        Accept();
    });
}

bool Server::Impl::Opened(const std::string& remote) {
    std::lock_guard lock(clientsMutex);
    std::size_t& mine = perClient[remote];
    if (open >= limits.connections || mine >= limits.connectionsPerClient) {
        if (mine == 0) perClient.erase(remote);
        return false;
    }
    ++mine;
    ++open;
    return true;
}

void Server::Impl::Closed(const std::string& remote) {
    std::lock_guard lock(clientsMutex);
    const auto found = perClient.find(remote);
    if (found != perClient.end() && --found->second == 0) perClient.erase(found);
    --open;
}

const Route* Server::Impl::Find(const std::string& method, const std::string& path,
                                bool& other) const {
    const auto found = routes.find({method, path});
    if (found != routes.end()) return &found->second;
    for (const auto& [key, route] : routes)
        other = other || key.second == path;
    return nullptr;
}

void Server::Impl::Stop() {
    if (stopping.exchange(true) || !thread.joinable()) {
        if (thread.joinable()) thread.join();
        return;
    }
    net::post(io, [this] {
        error_code ignored;
        acceptor.close(ignored);
        for (const auto& weak : sessions)
            if (auto session = weak.lock()) session->Close();
        sessions.clear();
        io.stop();
    });
    thread.join();
    pool.Stop();
    {
        std::unique_lock lock(streamMutex);
        streamEnded.wait(lock, [this] { return streams == 0; });
    }
    // What the connections had pending ends here, on closed connections, so that every
    // connection is gone before the server is.
    io.restart();
    io.poll();
}

Server::Server(Limits limits) : impl_(std::make_unique<Impl>(limits)) {}

Server::~Server() {
    Stop();
}

void Server::Get(std::string path, Handler handler, bool linkable) {
    impl_->routes[{"GET", std::move(path)}] = {std::move(handler), linkable};
}

void Server::Post(std::string path, Handler handler) {
    impl_->routes[{"POST", std::move(path)}] = {std::move(handler), false};
}

void Server::SetGuard(Guard guard) {
    impl_->guard = std::move(guard);
}

bool Server::Start(const std::string& address, int port, std::string& error) {
    return impl_->Start(address, port, error);
}

void Server::Stop() {
    impl_->Stop();
}

int Server::Port() const {
    return impl_->port;
}

std::size_t Server::Connections() const {
    return impl_->open;
}

Refusals Server::Refused() const {
    return {impl_->refusedConnections, impl_->deadlines, impl_->oversized, impl_->busy};
}

} // namespace show::http
