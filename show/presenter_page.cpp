#include "show/presenter_page.h"

#include <memory>
#include <string>

#include "show/http_server.h"
#include "show/web_assets.h"

namespace show {

namespace {

using http::Request;
using http::Response;

void Refuse(Response& res, int status, const std::string& reason) {
    res.Text(status, reason);
}

void NoCache(Response& res) {
    res.SetHeader("Cache-Control", "no-store");
    res.SetHeader("X-Content-Type-Options", "nosniff");
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
    if (req.path == "/") body = WithToken(body, req.Param("token"));
    NoCache(res);
    // Everything the page needs comes from this host; nothing may be framed or fetched from
    // elsewhere.
    res.SetHeader("Content-Security-Policy",
                  "default-src 'self'; img-src 'self' blob: data:; frame-ancestors 'none'");
    res.SetHeader("Referrer-Policy", "no-referrer");
    res.SetContent(std::move(body), std::string(asset->contentType));
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

void PresenterPage::AddRoutes(http::Server& server) {
    // The page and its files are opened from links, which carry the token in their query.
    constexpr bool kLinkable = true;
    for (const char* path : {"/", "/index.html", "/app.js", "/app.css"})
        server.Get(
            path,
            [](const Request& req, Response& res) {
                if (req.path == "/index.html")
                    return res.Redirect(req.query.empty() ? "/" : "/?" + req.query);
                ServeAsset(req, res);
            },
            kLinkable);

    server.Get(
        "/api/page/events",
        [this](const Request&, Response& res) {
            std::shared_ptr<PresenterChannel::Stream> stream = channel_.OpenStream();
            if (!stream) return Refuse(res, 503, "too many pages are watching already");
            NoCache(res);
            const std::string hello =
                "event: hello\ndata: " + nlohmann::json{{"lcid", hooks_.lcid}}.dump() + "\n\n";
            Refresh();
            res.contentType = "text/event-stream";
            res.stream = [this, stream, hello,
                          greeted = false]() mutable -> std::optional<std::string> {
                if (!greeted) {
                    greeted = true;
                    return hello;
                }
                Refresh();
                return stream->Next(kPageStreamTick);
            };
        },
        kLinkable);

    server.Get("/api/page/preview.jpg", [this](const Request&, Response& res) {
        std::string jpeg = preview_.Jpeg();
        if (jpeg.empty()) return Refuse(res, 503, "no frame yet");
        NoCache(res);
        res.SetContent(std::move(jpeg), "image/jpeg");
    });

    server.Get("/api/page/banks", [this](const Request&, Response& res) {
        std::lock_guard lock(banksMutex_);
        NoCache(res);
        res.SetContent(nlohmann::json{{"folder", !banks_.Folder().empty()},
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
        res.SetContent("{\"ok\":true}", "application/json");
    });

    server.Post("/api/page/upload", [this](const Request& req, Response& res) {
        const auto id = DialogId(req.Param("dialog"));
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
        res.SetContent("{\"ok\":true}", "application/json");
    });
}

} // namespace show
