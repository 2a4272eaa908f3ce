#include "show/presenter_page.h"

#include <memory>
#include <string>

#include <httplib.h>

#include "show/web_assets.h"

namespace show {

namespace {

using httplib::Request;
using httplib::Response;

void Refuse(Response& res, int status, const std::string& reason) {
    res.status = status;
    res.set_content(reason + "\n", "text/plain; charset=utf-8");
}

void NoCache(Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_header("X-Content-Type-Options", "nosniff");
}

// The browser fetches the page's script and style sheet without the page's header, so the page
// names them with the token it was opened with (the endpoint has checked it already).
std::string WithToken(std::string_view html, const std::string& token) {
    std::string out(html);
    if (token.empty()) return out;
    for (const std::string asset : {"/app.js\"", "/app.css\""}) {
        const std::size_t at = out.find(asset);
        if (at != std::string::npos) out.insert(at + asset.size() - 1, "?token=" + token);
    }
    return out;
}

void ServeAsset(const Request& req, Response& res) {
    const WebAsset* asset = FindWebAsset(req.path);
    if (!asset) return Refuse(res, 404, "no such page");
    std::string body(asset->body);
    if (req.path == "/") body = WithToken(body, req.get_param_value("token"));
    NoCache(res);
    // Everything the page needs comes from this host; nothing may be framed or fetched from
    // elsewhere.
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; img-src 'self' blob: data:; frame-ancestors 'none'");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_content(std::move(body), std::string(asset->contentType).c_str());
}

std::optional<std::uint64_t> DialogId(const std::string& text) {
    if (text.empty() || text.size() > 19 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoull(text);
}

} // namespace

PresenterPage::PresenterPage(PresenterHooks hooks, BankFolder banks)
    : hooks_(std::move(hooks)), banks_(std::move(banks)) {}

// Called by every watching page's stream; the panel and the state are read at most once per
// kPageRefreshInterval whatever the number of pages.
void PresenterPage::Refresh() {
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now().time_since_epoch())
                         .count();
    std::int64_t last = lastRefresh_.load();
    if (now - last < kPageRefreshInterval.count()) return;
    if (!lastRefresh_.compare_exchange_strong(last, now)) return;
    if (hooks_.refreshPanel) hooks_.refreshPanel();
    if (hooks_.state) channel_.PublishState(hooks_.state());
}

void PresenterPage::AddRoutes(httplib::Server& server) {
    for (const char* path : {"/", "/index.html", "/app.js", "/app.css"})
        server.Get(path, [](const Request& req, Response& res) {
            if (req.path == "/index.html") return res.set_redirect("/");
            ServeAsset(req, res);
        });

    server.Get("/api/page/events", [this](const Request&, Response& res) {
        std::shared_ptr<PresenterChannel::Stream> stream = channel_.OpenStream();
        if (!stream) return Refuse(res, 503, "too many pages are watching already");
        NoCache(res);
        const std::string hello =
            "event: hello\ndata: " + nlohmann::json{{"lcid", hooks_.lcid}}.dump() + "\n\n";
        Refresh();
        res.set_chunked_content_provider(
            "text/event-stream",
            [this, stream, hello, greeted = false](std::size_t, httplib::DataSink& sink) mutable {
                if (!greeted) {
                    greeted = true;
                    return sink.write(hello.data(), hello.size());
                }
                Refresh();
                const std::optional<std::string> text = stream->Next(kPageStreamTick);
                if (!text) {
                    sink.done();
                    return true;
                }
                return sink.write(text->data(), text->size());
            });
    });

    server.Get("/api/page/preview.jpg", [this](const Request&, Response& res) {
        std::string jpeg = preview_.Jpeg();
        if (jpeg.empty()) return Refuse(res, 503, "no frame yet");
        NoCache(res);
        res.set_content(std::move(jpeg), "image/jpeg");
    });

    server.Get("/api/page/banks", [this](const Request&, Response& res) {
        std::lock_guard lock(banksMutex_);
        NoCache(res);
        res.set_content(nlohmann::json{{"folder", !banks_.Folder().empty()},
                                       {"banks", banks_.List()},
                                       {"maxUpload", kMaxBankUploadBytes}}
                            .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                        "application/json");
    });

    server.Post("/api/page/dialog", [this](const Request& req, Response& res) {
        const nlohmann::json body = nlohmann::json::parse(req.body, nullptr, false);
        if (!body.is_object() || !body.contains("id") || !body["id"].is_number_unsigned())
            return Refuse(
                res, 400,
                "expected {\"id\": N, \"ok\": true|false} or {\"id\": N, \"bank\": NAME}");
        DialogAnswer answer;
        if (body.contains("bank")) {
            if (!body["bank"].is_string()) return Refuse(res, 400, "\"bank\" must be a file name");
            std::lock_guard lock(banksMutex_);
            answer.bank = banks_.Resolve(body["bank"].get<std::string>());
            if (!answer.bank) return Refuse(res, 404, "no such bank in the bank folder");
            answer.ok = true;
        } else {
            answer.ok = body.value("ok", false) == true;
        }
        if (!channel_.Answer(body["id"].get<std::uint64_t>(), std::move(answer)))
            return Refuse(res, 409, "that dialog is not open");
        res.set_content("{\"ok\":true}", "application/json");
    });

    server.Post("/api/page/upload", [this](const Request& req, Response& res) {
        const auto id = DialogId(req.get_param_value("dialog"));
        if (!id) return Refuse(res, 400, "expected ?dialog=N");
        if (req.body.size() > kMaxBankUploadBytes)
            return Refuse(res, 413,
                          "a bank may have at most " + std::to_string(kMaxBankUploadBytes) +
                              " bytes");
        const nlohmann::json open = channel_.OpenDialog();
        if (open.is_null() || open["id"] != *id || open["kind"] != "bank")
            return Refuse(res, 409, "that bank chooser is not open");
        std::string error;
        std::optional<std::filesystem::path> saved;
        {
            std::lock_guard lock(banksMutex_);
            saved = banks_.SaveUpload(req.body, error);
        }
        if (!saved) return Refuse(res, 400, error);
        if (!channel_.Answer(*id, {true, saved}))
            return Refuse(res, 409, "that dialog is not open");
        res.set_content("{\"ok\":true}", "application/json");
    });
}

} // namespace show
