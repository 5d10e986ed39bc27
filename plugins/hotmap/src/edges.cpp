// Outlines along pixel edges: packing of the selection, the trace, and which outline lies in
// which.
//
// The trace walks from corner to corner with the selected pixels on its right. At each corner it
// looks at the two pixels ahead: when the one ahead on the left is selected it turns left, so two
// selected pixels that touch only at a corner stay in one region (8-connected), and two unselected
// ones that touch only at a corner are separate holes (4-connected); else when the one ahead on
// the right is selected it goes straight on, else it turns right.
//
// Every boundary edge belongs to exactly one outline. The rows are scanned from the top; an
// outline is found at its topmost, leftmost horizontal edge, which is always the top edge of a
// pixel whose left neighbour differs from it. The vertical edges remember which outline passed
// them (one number per vertical edge, found through per-row counts of the row's edges), which
// tells a new outline whether it has been traced already and, from the nearest edge to its left
// in the row above, what it lies in.
#include "edges.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <queue>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hotmap {

namespace {

// Bits of 64 mask bytes: bit i set when p[i] > 128.
inline uint64_t packBytes(const uint8_t* p) {
#if defined(__SSE2__)
    const __m128i flip = _mm_set1_epi8(char(0x80)), zero = _mm_setzero_si128();
    uint64_t m = 0;
    for (int i = 0; i < 4; ++i) {
        // b > 128 unsigned is (b ^ 0x80) > 0 signed.
        const __m128i v = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)), flip);
        m |= uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpgt_epi8(v, zero)))) << (16 * i);
    }
    return m;
#else
    uint64_t m = 0;
    for (int i = 0; i < 64; ++i)
        m |= uint64_t(p[i] > 128) << i;
    return m;
#endif
}

} // namespace

SelectionBits::SelectionBits(const uint8_t* mask, int32_t width, int32_t height, std::ptrdiff_t rowBytes)
    : width_(width), height_(height) {
    // Bits 0 .. width + 1 of a row, and one more word so that a word's right neighbour exists.
    words_ = (std::size_t(width) + 2 + 63) / 64 + 1;
    // A plane beyond a terabyte is more than any process gets: refused before it is asked for
    // (an allocator may end the process rather than fail such a request), as memory running out.
    constexpr std::size_t kMaxPlaneWords = (std::size_t(1) << 40) / sizeof(uint64_t);
    if (words_ > kMaxPlaneWords / (std::size_t(height) + 2)) throw std::bad_alloc();
    bits_.assign(words_ * (std::size_t(height) + 2), 0);
    const std::size_t full = std::size_t(width) / 64;
    for (int32_t y = 0; y < height; ++y) {
        uint64_t* out = bits_.data() + (std::size_t(y) + 1) * words_;
        const uint8_t* in = mask ? mask + std::ptrdiff_t(y) * rowBytes : nullptr;
        uint64_t carry = 0; // the top bit of the last word, which moves into the next
        for (std::size_t k = 0; k <= full; ++k) {
            const std::size_t x0 = k * 64;
            const std::size_t n = std::min<std::size_t>(64, std::size_t(width) - x0);
            uint64_t m;
            if (n == 64)
                m = in ? packBytes(in + x0) : ~uint64_t(0);
            else if (!in)
                m = n ? (uint64_t(1) << n) - 1 : 0;
            else {
                m = 0;
                for (std::size_t i = 0; i < n; ++i)
                    m |= uint64_t(in[x0 + i] > 128) << i;
            }
            any_ |= m != 0;
            out[k] = (m << 1) | carry;
            carry = m >> 63;
        }
        out[full + 1] |= carry;
    }
}

unsigned SelectionBits::pair(int32_t x, int32_t y) const {
    const uint64_t* r = row(y);
    const std::size_t k = std::size_t(x) >> 6;
    const unsigned s = unsigned(x) & 63u;
    uint64_t v = r[k] >> s;
    if (s == 63) v |= r[k + 1] << 1;
    return unsigned(v) & 3u;
}

namespace {

// Directions: 0 east, 1 south, 2 west, 3 north (y grows downward). The direction out of a corner for the
// direction in and the four pixels around the corner (bit 0 north-west, 1 north-east, 2 south-west, 3
// south-east).
struct TurnTable {
    uint8_t next[4][16];
    constexpr TurnTable() : next() {
        // The pixels ahead on the left and on the right, for each direction.
        constexpr int aheadLeft[4] = {1, 3, 2, 0}, aheadRight[4] = {3, 2, 0, 1};
        for (int d = 0; d < 4; ++d)
            for (int q = 0; q < 16; ++q)
                next[d][q] = uint8_t(q & (1 << aheadLeft[d])    ? (d + 3) & 3
                                     : q & (1 << aheadRight[d]) ? d
                                                                : (d + 1) & 3);
    }
};
constexpr TurnTable kTurn;

constexpr uint32_t kUnset = 0xFFFFFFFFu;

// Who passed each vertical edge. The edges of row r are the places where a pixel differs from
// its left neighbour (x = 0 .. width: between pixel x - 1 and pixel x); each gets a slot, found
// from the count of edges in the row's earlier words and the bits before it in its own word.
class EdgeOwners {
  public:
    explicit EdgeOwners(const SelectionBits& bits) : bits_(bits), words_(bits.wordsPerRow() - 1) {
        const int32_t h = bits.height();
        before_.resize(std::size_t(h) * words_);
        rowFirst_.resize(std::size_t(h) + 1);
        std::size_t total = 0;
        for (int32_t r = 0; r < h; ++r) {
            rowFirst_[std::size_t(r)] = total;
            uint32_t count = 0;
            uint32_t* before = before_.data() + std::size_t(r) * words_;
            for (std::size_t k = 0; k < words_; ++k) {
                before[k] = count;
                count += uint32_t(std::popcount(edges(r, k)));
            }
            total += count;
        }
        rowFirst_[std::size_t(h)] = total;
        owner_.assign(total, kUnset);
    }

    // Bit b of the result: an edge at x = 64k + b in row r (-1 <= r <= height).
    uint64_t edges(int32_t r, std::size_t k) const {
        const uint64_t* p = bits_.row(r);
        return p[k] ^ ((p[k] >> 1) | (p[k + 1] << 63));
    }
    uint32_t& owner(int32_t r, int32_t x) {
        const std::size_t k = std::size_t(x) >> 6;
        const uint64_t below = (uint64_t(1) << (unsigned(x) & 63u)) - 1;
        return owner_[rowFirst_[std::size_t(r)] + before_[std::size_t(r) * words_ + k] +
                      std::size_t(std::popcount(edges(r, k) & below))];
    }
    std::size_t words() const { return words_; }

  private:
    const SelectionBits& bits_;
    std::size_t words_; // words holding edges: x = 0 .. width
    std::vector<uint32_t> before_;
    std::vector<std::size_t> rowFirst_;
    std::vector<uint32_t> owner_;
};

// The nearest vertical edge at or left of x in one row, for x that only grow.
class LeftEdge {
  public:
    LeftEdge(const EdgeOwners& owners, int32_t row) : owners_(owners), row_(row) {}
    // -1 when there is none.
    int64_t at(int32_t x) {
        const std::size_t kx = std::size_t(x) >> 6;
        for (; k_ < kx; ++k_)
            if (const uint64_t e = owners_.edges(row_, k_))
                last_ = int64_t(64 * k_ + 63 - std::countl_zero(e));
        const unsigned s = unsigned(x) & 63u;
        const uint64_t upTo = s == 63 ? ~uint64_t(0) : (uint64_t(1) << (s + 1)) - 1;
        if (const uint64_t e = owners_.edges(row_, kx) & upTo)
            return int64_t(64 * kx + 63 - std::countl_zero(e));
        return last_;
    }

  private:
    const EdgeOwners& owners_;
    int32_t row_;
    std::size_t k_ = 0;
    int64_t last_ = -1;
};

// Keeps the corners of the largest outlines while they are traced, or of those named.
class Keeper {
  public:
    Keeper(Outlines& out, std::size_t keep, bool keepHoles) : out_(out), keep_(keep), keepHoles_(keepHoles) {}
    Keeper(Outlines& out, const std::vector<bool>& only)
        : out_(out), keep_(0), keepHoles_(true), only_(&only) {}

    // The outline just traced (its corners at the end of out.corners) is kept or its corners
    // dropped.
    void offer(uint32_t id, std::size_t first, const BBox& box) {
        Contour& c = out_.contours[id];
        const std::size_t count = out_.corners.size() - first;
        if (only_) {
            if (id < only_->size() && (*only_)[id]) {
                c.kept = int32_t(out_.kept.size());
                out_.kept.push_back({id, first, count, box});
            } else {
                out_.corners.resize(first);
            }
            return;
        }
        if (keep_ == 0 || (c.hole && !keepHoles_)) {
            out_.corners.resize(first);
            return;
        }
        if (heap_.size() == keep_) {
            const Entry worst = heap_.top();
            if (!(c.area > worst.area)) { // ties: the earlier outline stays
                out_.corners.resize(first);
                return;
            }
            heap_.pop();
            Contour& gone = out_.contours[worst.id];
            KeptOutline& k = out_.kept[std::size_t(gone.kept)];
            dead_ += k.count;
            k.count = 0;
            gone.kept = -1;
        }
        c.kept = int32_t(out_.kept.size());
        out_.kept.push_back({id, first, count, box});
        heap_.push({c.area, id});
        if (dead_ > (std::size_t(1) << 20) && dead_ > out_.corners.size() / 2) compact();
    }

    // Drops what was given up: the kept outlines stay in the order they were traced.
    void finish() {
        compact();
        std::vector<KeptOutline> alive;
        for (const KeptOutline& k : out_.kept)
            if (out_.contours[k.contour].kept >= 0) {
                out_.contours[k.contour].kept = int32_t(alive.size());
                alive.push_back(k);
            }
        out_.kept.swap(alive);
    }

  private:
    struct Entry {
        int64_t area;
        uint32_t id;
        // The top of the heap is the one to give up first: the smallest, the later on ties.
        bool operator<(const Entry& o) const { return area != o.area ? area > o.area : id < o.id; }
    };
    void compact() {
        std::size_t to = 0;
        for (KeptOutline& k : out_.kept) {
            if (out_.contours[k.contour].kept < 0) continue;
            std::memmove(out_.corners.data() + to, out_.corners.data() + k.first, k.count * sizeof(Point));
            k.first = to;
            to += k.count;
        }
        out_.corners.resize(to);
        dead_ = 0;
    }

    Outlines& out_;
    std::size_t keep_;
    bool keepHoles_;
    const std::vector<bool>* only_ = nullptr;
    std::size_t dead_ = 0;
    std::priority_queue<Entry> heap_;
};

} // namespace

namespace {

void trace(const SelectionBits& bits, Outlines& out, Keeper& keeper) {
    const int32_t h = bits.height();
    if (bits.empty()) return;
    EdgeOwners owners(bits);
    bool anyBox = false;
    // Every edge is walked once: a bound on the steps of one trace that a sound trace never meets.
    const uint64_t maxSteps = 2 * (uint64_t(bits.width()) + 1) * (uint64_t(h) + 1) + 4;

    for (int32_t y = 0; y < h; ++y) {
        const uint64_t* above = bits.row(y - 1);
        const uint64_t* here = bits.row(y);
        LeftEdge leftAbove(owners, y - 1);
        uint64_t prevEdges = 0;
        for (std::size_t k = 0; k < owners.words(); ++k) {
            const uint64_t e = owners.edges(y, k);
            // Top edges of pixels (bit x + 1) whose left neighbour differs (edge at x: bit x).
            uint64_t starts = (above[k] ^ here[k]) & ((e << 1) | (prevEdges >> 63));
            prevEdges = e;
            while (starts) {
                const int32_t x = int32_t(64 * k + unsigned(std::countr_zero(starts))) - 1;
                starts &= starts - 1;
                if (owners.owner(y, x) != kUnset) continue; // traced already
                if (out.contours.size() >= kUnset - 1) throw std::bad_alloc();
                const uint32_t id = uint32_t(out.contours.size());
                Contour c;
                c.hole = !bits.at(x, y);
                // What it lies in: found from the nearest edge left of it in the row above.
                if (y > 0) {
                    const int64_t left = leftAbove.at(x);
                    if (left >= 0) {
                        const uint32_t oid = owners.owner(y - 1, int32_t(left));
                        const Contour& o = out.contours[oid];
                        if (c.hole) // the pixel above is the region's
                            c.parent = o.hole ? o.parent : int32_t(oid);
                        else // the pixel above is the hole's, or open ground
                            c.parent = o.hole ? int32_t(oid) : o.parent;
                    }
                }
                out.contours.push_back(c);
                ++(c.hole ? out.holes : out.regions);

                // The trace: a region from the top-left corner of its first pixel eastward, a hole
                // from the top-left corner of its first pixel southward.
                const std::size_t first = out.corners.size();
                const int32_t x0 = x, y0 = y;
                const int d0 = c.hole ? 1 : 0;
                int32_t X = x0, Y = y0;
                int d = d0;
                int64_t signedArea = 0; // sum of y * dx over the horizontal edges
                BBox box{x0, y0, x0, y0};
                out.corners.push_back({X, Y});
                for (uint64_t steps = 0;; ++steps) {
                    if (steps > maxSteps) throw std::logic_error("outline does not close");
                    switch (d) {
                    case 0:
                        signedArea += Y;
                        ++X;
                        break;
                    case 1:
                        owners.owner(Y, X) = id;
                        ++Y;
                        break;
                    case 2:
                        signedArea -= Y;
                        --X;
                        break;
                    default:
                        --Y;
                        owners.owner(Y, X) = id;
                        break;
                    }
                    const unsigned q = bits.pair(X, Y - 1) | bits.pair(X, Y) << 2;
                    const int next = kTurn.next[d][q];
                    if (X == x0 && Y == y0 && next == d0) break;
                    if (next != d) {
                        out.corners.push_back({X, Y});
                        box.left = std::min(box.left, X);
                        box.right = std::max(box.right, X);
                        box.top = std::min(box.top, Y);
                        box.bottom = std::max(box.bottom, Y);
                    }
                    d = next;
                }
                out.contours[id].area = signedArea < 0 ? -signedArea : signedArea;
                if (!c.hole) {
                    if (!anyBox)
                        out.box = box;
                    else
                        out.box = {std::min(out.box.left, box.left), std::min(out.box.top, box.top),
                                   std::max(out.box.right, box.right), std::max(out.box.bottom, box.bottom)};
                    anyBox = true;
                }
                keeper.offer(id, first, box);
            }
        }
    }
    keeper.finish();
}

} // namespace

Outlines traceOutlines(const SelectionBits& bits, std::size_t keep, bool keepHoles) {
    Outlines out;
    Keeper keeper(out, keep, keepHoles);
    trace(bits, out, keeper);
    return out;
}

Outlines traceOutlines(const SelectionBits& bits, const std::vector<bool>& only) {
    Outlines out;
    Keeper keeper(out, only);
    trace(bits, out, keeper);
    return out;
}

Outlines rectangleOutlines(int32_t width, int32_t height) {
    Outlines out;
    const BBox box{0, 0, width, height};
    Contour c;
    c.area = int64_t(width) * height;
    c.kept = 0;
    out.contours.push_back(c);
    out.corners = {{0, 0}, {width, 0}, {width, height}, {0, height}};
    out.kept.push_back({0, 0, 4, box});
    out.regions = 1;
    out.box = box;
    return out;
}

} // namespace hotmap
