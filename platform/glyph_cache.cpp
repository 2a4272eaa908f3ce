#include "platform/glyph_cache.h"

#include <list>
#include <mutex>
#include <unordered_map>

namespace {

// What an entry costs beyond its coverage: the record, its list node and its hash slot.
constexpr std::size_t kEntryOverheadBytes = sizeof(GlyphImage) + 64;

class GlyphCache {
public:
    DWORD Fetch(FontInstance& font, char32_t ch, bool withCoverage, GlyphVisitor visit,
                void* context) {
        const Key key = (std::uint64_t{font.Id()} << 32) | ch;
        Entry fresh{key, false, {}};
        {
            std::lock_guard lock(mutex_);
            if (auto it = index_.find(key); it != index_.end()) {
                Entry& entry = *it->second;
                if (!withCoverage || !entry.present || entry.image.hasCoverage) {
                    ++hits_;
                    lru_.splice(lru_.begin(), lru_, it->second);
                    return visit(context, entry.present ? &entry.image : nullptr);
                }
                // Measured but not yet drawn: take the outline measuring left behind.
                bytes_ -= Cost(entry);
                fresh.image.metrics = entry.image.metrics;
                fresh.image.outline = std::move(entry.image.outline);
                bytes_ += Cost(entry);
            }
            ++misses_;
        }
        // Rasterise outside the cache's lock: other fonts' hits need not wait for it.
        fresh.present = font.LoadGlyph(ch, withCoverage, fresh.image);
        std::lock_guard lock(mutex_);
        Entry& entry = Insert(std::move(fresh));
        const DWORD result = visit(context, entry.present ? &entry.image : nullptr);
        Evict(limit_);
        return result;
    }

    GlyphCacheStats Stats() {
        std::lock_guard lock(mutex_);
        return {bytes_, lru_.size(), limit_, hits_, misses_};
    }

    void SetLimit(std::size_t bytes) {
        std::lock_guard lock(mutex_);
        limit_ = bytes;
        Evict(limit_);
    }

    void Clear() {
        std::lock_guard lock(mutex_);
        Evict(0);
    }

private:
    using Key = std::uint64_t;
    struct Entry {
        Key key;
        bool present;
        GlyphImage image;
    };

    static std::size_t Cost(const Entry& e) {
        return kEntryOverheadBytes + e.image.coverage.capacity() +
               (e.image.outline ? e.image.outline->Bytes() : 0);
    }

    // Puts `fresh` at the front, replacing an entry for the same key (a metrics-only entry being
    // completed, or a race with another thread loading the same glyph).
    Entry& Insert(Entry&& fresh) {
        if (auto it = index_.find(fresh.key); it != index_.end()) {
            bytes_ -= Cost(*it->second);
            lru_.erase(it->second);
            index_.erase(it);
        }
        lru_.push_front(std::move(fresh));
        index_[lru_.front().key] = lru_.begin();
        bytes_ += Cost(lru_.front());
        return lru_.front();
    }

    // Drops least recently used entries until the cache fits `limit`. Callers have already
    // copied what they fetched, so even a glyph bigger than the whole limit has answered.
    void Evict(std::size_t limit) {
        while (bytes_ > limit && !lru_.empty()) {
            bytes_ -= Cost(lru_.back());
            index_.erase(lru_.back().key);
            lru_.pop_back();
        }
    }

    std::mutex mutex_;
    std::list<Entry> lru_; // most recently used first
    std::unordered_map<Key, std::list<Entry>::iterator> index_;
    std::size_t bytes_ = 0;
    std::size_t limit_ = kDefaultGlyphCacheBytes;
    std::uint64_t hits_ = 0;
    std::uint64_t misses_ = 0;
};

// Never destroyed: glyphs may be fetched while static objects are torn down at exit.
GlyphCache& Cache() {
    static GlyphCache* cache = new GlyphCache;
    return *cache;
}

} // namespace

DWORD FetchGlyph(FontInstance& font, char32_t ch, bool withCoverage, GlyphVisitor visit,
                 void* context) {
    return Cache().Fetch(font, ch, withCoverage, visit, context);
}

GlyphCacheStats GetGlyphCacheStats() {
    return Cache().Stats();
}
void SetGlyphCacheLimit(std::size_t bytes) {
    Cache().SetLimit(bytes);
}
void ClearGlyphCache() {
    Cache().Clear();
}
