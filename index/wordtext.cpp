#include "index/wordtext.h"

#include "encoding/charslot.h"
#include "encoding/utf.h"
#include "index/index.h"

namespace vyn {

std::u16string NormaliseStars(std::u16string_view word) {
    std::u16string out;
    for (char16_t unit : word) {
        if (unit == u'*' && (out.empty() || out.back() == u'*')) continue;
        out += unit;
    }
    if (out.empty() || out.back() != u'*') out += u'*';
    return out;
}

bool FitsWorkingArrays(std::u16string_view word) {
    return NormaliseStars(word).size() + 1 <= CIndex::kWordCapacity;  // + terminator
}

void DropUnindexed(std::u16string& word) {
    std::size_t i = 0;
    while (i < word.size()) {
        if (word[i] == u'*' || IsOneCharWildcard(word[i])) {
            ++i;
            continue;
        }
        std::size_t next = i;
        const char32_t codePoint = NextCodePoint(word, next);
        if (CharSlot(codePoint) == kNotIndexed) {
            word.erase(i, next - i);  // the character moving up is examined next
        } else {
            i = next;
        }
    }
}

}  // namespace vyn
