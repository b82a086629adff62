#include "search/collationfolding.h"

#include <QLocale>

#include <algorithm>

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>
#include <unicode/utf16.h>

namespace {

bool isIndexBoundary(char32_t c)
{
    // Noncharacters the collator uses for its own alphabetic-index contractions.
    return c >= 0xfdd0 && c <= 0xfdef;
}

bool isSubsequence(const QVector<quint32> &inner, const QVector<quint32> &outer)
{
    int i = 0;
    for (int j = 0; j < outer.size() && i < inner.size(); ++j) {
        if (outer.at(j) == inner.at(i))
            ++i;
    }
    return i == inner.size();
}

// The units of outer that are left over once inner, a subsequence of it, is taken out.
QSet<quint32> leftOver(const QVector<quint32> &inner, const QVector<quint32> &outer)
{
    QSet<quint32> extra;
    int i = 0;
    for (int j = 0; j < outer.size(); ++j) {
        if (i < inner.size() && outer.at(j) == inner.at(i))
            ++i;
        else
            extra.insert(outer.at(j));
    }
    return extra;
}

QSet<quint32> toSet(const QVector<quint32> &units)
{
    return QSet<quint32>(units.cbegin(), units.cend());
}

} // namespace

CollationFolding::CollationFolding(const QString &locale)
    : m_bmp(0x10000, unknownEntry)
{
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_open(collatorName(locale).constData(), &status);
    if (U_FAILURE(status) || !m_collator)
        return;
    // Punctuation made ignorable or digit strings compared as numbers would let the find match
    // texts whose weights differ unit by unit; no locale's search collation does either today.
    if (ucol_getAttribute(m_collator, UCOL_ALTERNATE_HANDLING, &status) == UCOL_SHIFTED
        || ucol_getAttribute(m_collator, UCOL_NUMERIC_COLLATION, &status) == UCOL_ON)
        return;
    const UChar newline = '\n';
    m_elements = ucol_openElements(m_collator, &newline, 1, &status);
    if (U_FAILURE(status) || !m_elements)
        return;
    buildProjection();
}

CollationFolding::~CollationFolding()
{
    if (m_elements)
        ucol_closeElements(m_elements);
    if (m_collator)
        ucol_close(m_collator);
}

CollationFolding &CollationFolding::forSystemLocale()
{
    // The web engine reads the system locale once, when its first find runs.
    static CollationFolding folding(QLocale::system().name());
    return folding;
}

QByteArray CollationFolding::collatorName(const QString &locale)
{
    return locale.toLatin1() + "@collation=search";
}

char32_t CollationFolding::foldQuoteMark(char32_t c)
{
    switch (c) {
    case 0x05f3: // Hebrew geresh
    case 0x2018:
    case 0x2019:
        return '\'';
    case 0x05f4: // Hebrew gershayim
    case 0x201c:
    case 0x201d:
        return '"';
    case 0x00ad: // a soft hyphen never counts in a comparison
        return 0;
    default:
        return c;
    }
}

QVector<quint32> CollationFolding::rawUnits(const QString &text)
{
    QVector<quint32> units;
    UErrorCode status = U_ZERO_ERROR;
    ucol_setText(m_elements, reinterpret_cast<const UChar *>(text.utf16()), text.size(), &status);
    if (U_FAILURE(status))
        return units;
    for (;;) {
        const int32_t element = ucol_next(m_elements, &status);
        if (element == UCOL_NULLORDER || U_FAILURE(status))
            break;
        const quint32 half = quint32(ucol_primaryOrder(element)) & 0xffff;
        // A long primary weight arrives in two elements, the second marked as its continuation.
        if ((element & 0xc0) == 0xc0 && !units.isEmpty())
            units.last() |= half;
        else if (half)
            units.append(half << 16);
    }
    return units;
}

QVector<quint32> CollationFolding::apply(const QVector<quint32> &units) const
{
    QVector<quint32> out;
    out.reserve(units.size());
    for (quint32 unit : units) {
        if (m_dropped.contains(unit))
            continue;
        const auto rewrite = m_rewrites.constFind(unit);
        if (rewrite != m_rewrites.constEnd())
            out += rewrite.value();
        else
            out.append(unit);
    }
    return out;
}

void CollationFolding::normalizeRewrites()
{
    // A rewrite's target may hold units that were dropped or rewritten later; no target holds
    // its own unit, so this settles.
    for (bool changed = true; changed;) {
        changed = false;
        for (auto it = m_rewrites.begin(); it != m_rewrites.end(); ++it) {
            const QVector<quint32> target = apply(it.value());
            if (target != it.value()) {
                it.value() = target;
                changed = true;
            }
        }
    }
}

bool CollationFolding::resolve(const QVector<quint32> &whole, const QVector<quint32> &parts)
{
    // Make the unit sequence of a contraction and that of its code points fold alike, as
    // gently as possible: drop units that one side only adds (Catalan "l" with a middle dot),
    // rewrite a single unit into the other side (Danish "aa", Bengali vowel signs), merge
    // units pairwise, and drop everything involved only when nothing else fits.
    if (isSubsequence(whole, parts)) {
        m_dropped.unite(leftOver(whole, parts));
    } else if (isSubsequence(parts, whole)) {
        m_dropped.unite(leftOver(parts, whole));
    } else if (whole.size() == 1 && !parts.contains(whole.first())) {
        m_rewrites.insert(whole.first(), parts);
    } else if (parts.size() == 1 && !whole.contains(parts.first())) {
        m_rewrites.insert(parts.first(), whole);
    } else if (whole.size() == parts.size()) {
        // The heavier weight is the rarer letter (Danish "ä" against "a"): it gives way.
        for (int i = 0; i < whole.size(); ++i) {
            const quint32 a = whole.at(i);
            const quint32 b = parts.at(i);
            if (a != b) {
                m_rewrites.insert(qMax(a, b), {qMin(a, b)});
                break;
            }
        }
    } else {
        for (quint32 unit : whole + parts)
            m_dropped.insert(unit);
    }
    normalizeRewrites();
    return true;
}

void CollationFolding::buildProjection()
{
    // White space: what the engine emits between blocks, for collapsed runs of spaces and for
    // non-breaking spaces.
    for (const QChar c : QStringLiteral(" \t\n\r\f\u00a0")) {
        for (quint32 unit : rawUnits(QString(c)))
            m_whitespace.insert(unit);
    }
    m_dropped = m_whitespace;

    // Every contraction (including those that depend on a preceding character) whose units
    // differ from the units of its code points taken one by one.
    struct Pair
    {
        QVector<quint32> whole;
        QVector<quint32> parts;
    };
    QVector<Pair> pairs;
    USet *contractions = uset_openEmpty();
    UErrorCode status = U_ZERO_ERROR;
    ucol_getContractionsAndExpansions(m_collator, contractions, nullptr, true, &status);
    if (U_FAILURE(status)) {
        uset_close(contractions);
        return;
    }
    const int32_t items = uset_getItemCount(contractions);
    UChar buffer[64];
    for (int32_t i = 0; i < items; ++i) {
        UChar32 first = 0;
        UChar32 last = 0;
        status = U_ZERO_ERROR;
        const int32_t length = uset_getItem(contractions, i, &first, &last, buffer, 64, &status);
        if (U_FAILURE(status) || length <= 0)
            continue;
        const QString contraction
            = QString::fromUtf16(reinterpret_cast<const char16_t *>(buffer), length);
        bool indexBoundary = false;
        QVector<quint32> parts;
        for (int j = 0; j < length;) {
            const int start = j;
            UChar32 c = 0;
            U16_NEXT(buffer, j, length, c);
            indexBoundary = indexBoundary || isIndexBoundary(char32_t(c));
            parts += rawUnits(contraction.mid(start, j - start));
        }
        if (indexBoundary)
            continue;
        const QVector<quint32> whole = rawUnits(contraction);
        if (whole != parts)
            pairs.append({whole, parts});
        // A contraction may end in a combining mark found past other marks; a mark with a
        // weight of its own then lands out of place, so its units cannot be placed reliably.
        int j = 0;
        U16_FWD_1(buffer, j, length);
        while (j < length) {
            const int start = j;
            UChar32 c = 0;
            U16_NEXT(buffer, j, length, c);
            if (u_getCombiningClass(c) != 0)
                m_dropped.unite(toSet(rawUnits(contraction.mid(start, j - start))));
        }
    }
    uset_close(contractions);

    // Each step drops a unit or gives a unit its first rewrite, so the loop ends.
    for (bool changed = true; changed;) {
        changed = false;
        for (const Pair &pair : qAsConst(pairs)) {
            const QVector<quint32> whole = apply(pair.whole);
            const QVector<quint32> parts = apply(pair.parts);
            if (whole != parts)
                changed = resolve(whole, parts);
        }
    }
    m_usable = true;
}

int CollationFolding::combiningClass(char32_t c)
{
    return u_getCombiningClass(UChar32(c));
}

quint32 CollationFolding::idOf(quint32 primary)
{
    auto it = m_ids.constFind(primary);
    if (it == m_ids.constEnd())
        it = m_ids.insert(primary, quint32(m_ids.size()));
    return it.value();
}

CollationFolding::Units CollationFolding::computeUnits(char32_t c)
{
    if (c >= 0x10000) {
        const auto known = m_supplementary.constFind(c);
        if (known != m_supplementary.constEnd())
            return entryUnits(known.value());
    }
    quint32 entry = unfoldableEntry;
    const bool surrogate = c >= 0xd800 && c <= 0xdfff;
    if (m_usable && !surrogate && !isIndexBoundary(c) && c <= 0x10ffff) {
        const char32_t folded = foldQuoteMark(c);
        const QVector<quint32> units = apply(rawUnits(QString::fromUcs4(&folded, 1)));
        if (units.size() < 256 && m_pool.size() < (1 << 23)) {
            entry = quint32(m_pool.size()) << 8 | quint32(units.size());
            for (quint32 primary : units)
                m_pool.append(idOf(primary));
        }
    }
    if (c < 0x10000)
        m_bmp[int(c)] = entry;
    else
        m_supplementary.insert(c, entry);
    return entryUnits(entry);
}

bool CollationFolding::fold(const QString &text, QVector<quint32> *out)
{
    const QVector<uint> codePoints = text.toUcs4();
    for (uint c : codePoints) {
        const Units u = units(c);
        if (u.size < 0)
            return false;
        for (int i = 0; i < u.size; ++i)
            out->append(u.data[i]);
    }
    return true;
}

bool CollationFolding::touchesWhitespace(const QString &text)
{
    if (!m_usable)
        return true;
    const QVector<uint> codePoints = text.toUcs4();
    for (uint c : codePoints) {
        const char32_t folded = foldQuoteMark(c);
        for (quint32 unit : rawUnits(QString::fromUcs4(&folded, 1))) {
            if (m_whitespace.contains(unit))
                return true;
        }
    }
    for (quint32 unit : rawUnits(text)) {
        if (m_whitespace.contains(unit))
            return true;
    }
    return false;
}
