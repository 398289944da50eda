#include "store/FoldTables.h"

#include "store/Icu.h"
#include "store/ShiftJis.h"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <stdexcept>

namespace store::fold {

namespace {

const UNormalizer2* normalizer()
{
    static const UNormalizer2* n = [] {
        UErrorCode status = U_ZERO_ERROR;
        const UNormalizer2* nfkcCf = icu::functions().getNFKCCasefoldInstance(&status);
        if (U_FAILURE(status))
            throw std::runtime_error(std::string("ICU NFKC_Casefold: ") + icu::functions().errorName(status));
        return nfkcCf;
    }();
    return n;
}

}  // namespace

void normalizeInto(std::u16string_view in, std::u16string& out)
{
    if (in.empty())
        return;
    const std::size_t at = out.size();
    out.resize(at + in.size() * 4 + 16);
    UErrorCode status = U_ZERO_ERROR;
    const auto normalize = icu::functions().normalize;
    int32_t n = normalize(normalizer(), in.data(), static_cast<int32_t>(in.size()), out.data() + at,
                          static_cast<int32_t>(out.size() - at), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(at + static_cast<std::size_t>(n));
        status = U_ZERO_ERROR;
        n = normalize(normalizer(), in.data(), static_cast<int32_t>(in.size()), out.data() + at, n, &status);
    }
    if (U_FAILURE(status)) {
        out.resize(at);
        out.append(in);  // cannot happen for well-formed input; keep the text rather than lose it
        return;
    }
    out.resize(at + static_cast<std::size_t>(n));
}

const Tables& Tables::get()
{
    static const Tables t;
    return t;
}

std::u16string Tables::foldOf(char16_t c) const
{
    const std::uint32_t f = fold[c];
    if (lengthOf(f) > 0)
        return pool.substr(offsetOf(f), lengthOf(f));
    std::u16string out;
    normalizeInto(std::u16string_view(&c, 1), out);
    return out;
}

Tables::Tables()
{
    buildDecoder();
    const UNormalizer2* n = normalizer();
    std::u16string folded;
    for (std::uint32_t c = 0; c < 0x10000; ++c) {
        std::uint32_t& f = fold[c];
        if (c >= 0xD800 && c <= 0xDFFF) {
            // Surrogates go through ICU as whole code points; a text is cut before a high one.
            f = c < 0xDC00 ? kBoundary : 0;
            continue;
        }
        const bool boundary = icu::functions().hasBoundaryBefore(n, static_cast<UChar32>(c));
        const char16_t unit = static_cast<char16_t>(c);
        folded.clear();
        UErrorCode status = U_ZERO_ERROR;
        if (icu::functions().quickCheck(n, &unit, 1, &status) == UNORM_YES && U_SUCCESS(status))
            folded.push_back(unit);
        else
            normalizeInto(std::u16string_view(&unit, 1), folded);
        f = (boundary ? kBoundary : 0) | entry(folded);
    }
    classifyMarkJoins();
    auto byteEntry = [&](char16_t c) {
        const std::uint32_t f = fold[c];
        const std::uint32_t boundary = f & kBoundary;
        const std::uint32_t join = (isMark(c) ? kMark : 0) | std::uint32_t{markJoin[c]} << kJoinShift;
        return lengthOf(f) == 1 ? boundary | join | kDirect | pool[offsetOf(f)] : boundary | join | c;
    };
    for (std::size_t b = 0; b < 256; ++b)
        singleFold[b] = leadIndex[b] >= 0 ? kLead | static_cast<std::uint32_t>(leadIndex[b]) : byteEntry(single[b]);
    pairFold.resize(pair.size());
    for (std::size_t i = 0; i < pair.size(); ++i)
        pairFold[i] = pair[i] ? byteEntry(pair[i]) | kPair : 0;
    replacementFold = byteEntry(kReplacement);
}

void Tables::classifyMarkJoins()
{
    std::vector<char16_t> chars{kReplacement};
    for (std::size_t b = 0; b < 256; ++b)
        if (leadIndex[b] < 0)
            chars.push_back(single[b]);
    for (const char16_t c : pair)
        if (c)
            chars.push_back(c);
    std::sort(chars.begin(), chars.end());
    chars.erase(std::unique(chars.begin(), chars.end()), chars.end());
    const char16_t marks[2] = {0xFF9E, 0xFF9F};
    const std::u16string markFold[2] = {foldOf(marks[0]), foldOf(marks[1])};
    auto fold = [](std::initializer_list<char16_t> in) {
        std::u16string out;
        normalizeInto(std::u16string_view(in.begin(), in.size()), out);
        return out;
    };
    for (const char16_t c : chars) {
        const std::u16string alone = foldOf(c);
        const std::u16string with[2] = {fold({c, marks[0]}), fold({c, marks[1]})};
        if (with[0] == alone + markFold[0] && with[1] == alone + markFold[1]) {
            markJoin[c] = kApart;
            continue;
        }
        bool composes = true, wraps = false;
        for (int k = 0; k < 2; ++k)
            for (int k2 = 0; k2 < 2; ++k2)
                composes = composes && fold({c, marks[k], marks[k2]}) == with[k] + markFold[k2];
        std::size_t head = alone.size();
        while (!composes && !wraps && head > 1) {
            --head;
            const std::u16string_view h = std::u16string_view(alone).substr(0, head),
                                      tail = std::u16string_view(alone).substr(head);
            wraps = true;
            for (int k = 0; k < 2; ++k) {
                wraps = wraps && with[k] == std::u16string(h) + markFold[k] + std::u16string(tail);
                for (int k2 = 0; k2 < 2; ++k2)
                    wraps = wraps && fold({c, marks[k], marks[k2]}) ==
                                         std::u16string(h) + markFold[k] + markFold[k2] + std::u16string(tail);
            }
        }
        if (composes) {
            markJoin[c] = kComposes;
            for (std::uint32_t k = 0; k < 2; ++k)
                withMarks_[std::uint32_t{c} << 1 | k] = entry(with[k]);
        } else if (wraps) {
            markJoin[c] = kWraps;
            withMarks_[std::uint32_t{c} << 1] = entry(alone.substr(0, head));
        }
    }
}

std::uint32_t Tables::composedEntry(char16_t c, char16_t mark) const
{
    return withMarks_[std::uint32_t{c} << 1 | (mark == 0xFF9F ? 1u : 0u)];
}

std::uint32_t Tables::wrapEntry(char16_t c) const { return composedEntry(c, 0xFF9E); }

// Offset and length of `folded` in the pool; 0 (left to ICU) when it is empty or too long.
std::uint32_t Tables::entry(const std::u16string& folded)
{
    if (folded.empty() || folded.size() >= 64)
        return 0;
    const auto e = static_cast<std::uint32_t>(pool.size()) | static_cast<std::uint32_t>(folded.size()) << 24;
    pool += folded;
    return e;
}

void Tables::buildDecoder()
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Functions& f = icu::functions();
    std::unique_ptr<UConverter, void (*)(UConverter*)> cnv(f.open("windows-31j", &status), f.close);
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("ICU windows-31j: ") + f.errorName(status));
    auto decode = [&](const char* bytes, int length, char16_t* out) {
        UErrorCode st = U_ZERO_ERROR;
        f.reset(cnv.get());
        const int32_t n = f.toUChars(cnv.get(), out, 4, bytes, length, &st);
        return U_FAILURE(st) ? -1 : n;
    };
    leadIndex.fill(-1);
    int leads = 0;
    for (int b = 0; b < 256; ++b) {
        if (shiftjis::isLeadByte(static_cast<unsigned char>(b))) {
            leadIndex[static_cast<std::size_t>(b)] = static_cast<std::int16_t>(leads++);
            single[static_cast<std::size_t>(b)] = kReplacement;  // a lead byte without its trail
            continue;
        }
        const char byte = static_cast<char>(b);
        char16_t out[4];
        single[static_cast<std::size_t>(b)] = decode(&byte, 1, out) == 1 ? out[0] : kReplacement;
    }
    pair.assign(static_cast<std::size_t>(leads) * 256, 0);
    for (int lead = 0; lead < 256; ++lead) {
        const int li = leadIndex[static_cast<std::size_t>(lead)];
        if (li < 0)
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char16_t out[4];
            // Only a pair that decodes to one character is one; otherwise the lead byte stands
            // alone as U+FFFD and the next byte is a character of its own.
            if (decode(bytes, 2, out) == 1)
                pair[static_cast<std::size_t>(li) * 256 + static_cast<std::size_t>(trail)] = out[0];
        }
    }
}

std::size_t decodeInto(std::string_view bytes, bool last, std::u16string& out)
{
    const Tables& t = Tables::get();
    const std::size_t n = bytes.size();
    const std::size_t at = out.size();
    out.resize(at + n);
    char16_t* o = out.data() + at;
    std::size_t i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const int li = t.leadIndex[b];
        if (li < 0) {
            *o++ = t.single[b];
            ++i;
            continue;
        }
        if (i + 1 == n) {
            if (!last)
                break;
            *o++ = kReplacement;
            ++i;
            continue;
        }
        const char16_t c = t.pair[static_cast<std::size_t>(li) * 256 + static_cast<unsigned char>(bytes[i + 1])];
        *o++ = c ? c : kReplacement;
        i += c ? 2 : 1;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return n - i;
}

}  // namespace store::fold
