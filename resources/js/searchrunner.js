// Loaded by the page search into the off-screen document it reuses from page to page, after
// search.js. collect() reads the page's text in runs: stretches of text between white space,
// block edges, line breaks and pictures, across which the find can never match a search text
// without white space in it. lines() reads, with getHighlightedSelection(), the lines around
// hits that the program found in those runs. A page holding anything outside the plain
// elements, attributes and styles below is left to the find itself: collect() returns null.
var velmoraSearch = (function () {
    function wordSet(words) {
        var set = {};
        words.split(' ').forEach(function (word) { set[word] = true; });
        return set;
    }

    var inlineElements = wordSet('a abbr acronym b bdi bdo big cite code del dfn em font i ins '
        + 'kbd mark nobr s samp small span strike strong sub sup time tt u var');
    var blockElements = wordSet('address blockquote caption center col colgroup dd div dl dt '
        + 'figcaption figure footer h1 h2 h3 h4 h5 h6 header hr li main nav ol p pre section '
        + 'table tbody td tfoot th thead tr ul');
    // Elements whose lines are not one word each on a page laid out zero pixels wide: table
    // cells are as wide as their longest word, and preformatted text does not wrap.
    var wideElements = wordSet('bdi bdo caption col colgroup nobr pre table tbody td tfoot th '
        + 'thead tr');
    var attributes = wordSet('align alt bgcolor border cellpadding cellspacing cite class color '
        + 'colspan datetime dir face height href id lang name rel rowspan size src start style '
        + 'tabindex target title type valign value width');
    var styles = ['background', 'border', 'clear', 'color', 'cursor', 'direction', 'font',
        'height', 'letter-spacing', 'line-height', 'list-style', 'margin', 'max-height',
        'max-width', 'min-height', 'min-width', 'opacity', 'outline', 'padding', 'text-align',
        'text-decoration', 'text-indent', 'unicode-bidi', 'vertical-align', 'white-space',
        'width', 'word-spacing'];

    // Per run, its pieces: [text node, offset in the node, offset in the run].
    var runs = [];

    function isSpace(c) {
        return c === ' ' || c === '\t' || c === '\n' || c === '\r' || c === '\f';
    }

    function allowedStyle(property) {
        for (var i = 0; i < styles.length; ++i) {
            if (property === styles[i] || property.indexOf(styles[i] + '-') === 0)
                return true;
        }
        return false;
    }

    function allowedElement(element, name) {
        if (!inlineElements[name] && !blockElements[name] && name !== 'br' && name !== 'img'
            && name.indexOf(':') < 0)
            return false;
        for (var i = 0; i < element.attributes.length; ++i) {
            var attribute = element.attributes[i].name.toLowerCase();
            if (!attributes[attribute] && attribute.indexOf('data-') !== 0)
                return false;
        }
        for (var j = 0; j < element.style.length; ++j) {
            if (!allowedStyle(element.style[j]))
                return false;
        }
        return true;
    }

    // Returns {runs: the run texts joined by "\n", codes: four letters per run}, or null. The codes say what stands right
    // before the run ('w' white space in the same text node, 'b' a block edge, line break or
    // the start, with no element boundary in between, 'o' anything else), what follows it ('m'
    // white space and more text in the same text node, 'n' white space up to the end of its
    // text node and then text at the start of an inline element, 'e' white space in the same
    // text node and then a block edge or line break, 'b' directly a block edge or line break,
    // 'o' anything else), '1' when the run lies in one text node, and '1' when it lies outside
    // every styled or wide element in a block without pictures or styled elements.
    function collect() {
        runs = [];
        var texts = [];
        var finished = [];
        var current = null;
        var pending = null;
        var before = 'b';
        // No element starts or ends between the last character or block edge and here.
        var clean = true;
        // Inline elements started and ended since the last character.
        var starts = 0;
        var ends = 0;
        // The block whose lines the text being read falls into; pictures and styled elements
        // in it can put more than one word on a line.
        var block = {bent: false};
        var ok = true;

        function finish(run, after) {
            texts.push(run.text);
            finished.push([run, after]);
            runs.push(run.pieces);
        }

        // A block edge or line break ('b'), or a picture or non-breaking space ('o').
        function cut(kind) {
            if (current)
                finish(current, kind === 'b' && clean ? 'b' : 'o');
            else if (pending)
                finish(pending, kind === 'b' && clean && pending.spaceClean ? 'e' : 'o');
            current = null;
            pending = null;
            before = kind;
            clean = kind === 'b';
            starts = 0;
            ends = 0;
        }

        function text(node, plain) {
            var data = node.data;
            for (var i = 0; i < data.length; ++i) {
                var c = data.charAt(i);
                if (isSpace(c)) {
                    if (current) {
                        pending = current;
                        pending.spaceClean = pending.node === node;
                        current = null;
                    }
                    before = 'w';
                    clean = true;
                    starts = 0;
                    ends = 0;
                    continue;
                }
                if (c === '\u00a0') {
                    cut('o');
                    continue;
                }
                if (!current) {
                    if (pending) {
                        var after = 'o';
                        if (clean && pending.spaceClean && pending.node === node)
                            after = 'm';
                        else if (pending.spaceClean && pending.atEnd && starts === 1 && !ends
                            && i === 0)
                            after = 'n';
                        finish(pending, after);
                        pending = null;
                    }
                    var lead = 'o';
                    if (i > 0)
                        lead = isSpace(data.charAt(i - 1)) ? 'w' : 'o';
                    else if (before === 'b' && clean)
                        lead = 'b';
                    current = {text: '', pieces: [], before: lead, plain: plain, node: node,
                        block: block};
                }
                if (!current.pieces.length || current.node !== node)
                    current.pieces.push([node, i, current.text.length]);
                current.node = node;
                current.text += c;
                current.plain = current.plain && plain;
                clean = true;
                starts = 0;
                ends = 0;
            }
            // Only white space followed the waiting run to the end of its text node.
            if (pending && pending.node === node)
                pending.atEnd = true;
        }

        function walk(parent, plain) {
            for (var node = parent.firstChild; node && ok; node = node.nextSibling) {
                if (node.nodeType === 3) {
                    text(node, plain);
                    continue;
                }
                if (node.nodeType !== 1)
                    continue;
                var name = node.localName.toLowerCase();
                if (!allowedElement(node, name)) {
                    ok = false;
                    return;
                }
                // Styles, text direction and wide elements change where words wrap.
                var styled = node.hasAttribute('style') || node.hasAttribute('dir')
                    || wideElements[name] === true;
                if (name === 'img') {
                    // A picture not yet loaded has no width and may share a word's line.
                    block.bent = true;
                    cut('o');
                } else if (name === 'br') {
                    cut('b');
                } else if (blockElements[name]) {
                    cut('b');
                    var outer = block;
                    block = {bent: false};
                    walk(node, plain && !styled);
                    cut('b');
                    block = outer;
                } else {
                    block.bent = block.bent || styled;
                    clean = false;
                    ++starts;
                    walk(node, plain && !styled);
                    clean = false;
                    ++ends;
                }
            }
        }

        walk(document.body, true);
        if (!ok) {
            runs = [];
            return null;
        }
        cut('b');
        var codes = finished.map(function (entry) {
            var run = entry[0];
            return run.before + entry[1] + (run.pieces.length === 1 ? '1' : '0')
                + (run.plain && !run.block.bent ? '1' : '0');
        });
        return {runs: texts.join('\n'), codes: codes.join('')};
    }

    // The node and offset of a run's character, or of the position just past it.
    function position(run, offset, past) {
        var pieces = runs[run];
        var k = pieces.length - 1;
        while (k > 0 && pieces[k][2] > offset)
            --k;
        var piece = pieces[k];
        return [piece[0], piece[1] + offset - piece[2] + (past ? 1 : 0)];
    }

    // hits: run, start and end of each hit in turn. Each hit is selected as the find would
    // select it, and its line read the way the find's caller reads it: per hit its line, the
    // characters before the hit in it and the hit's length, one after the other.
    function lines(hits) {
        var selection = window.getSelection();
        var out = [];
        for (var i = 0; i + 2 < hits.length; i += 3) {
            var start = position(hits[i], hits[i + 1], false);
            var end = position(hits[i], hits[i + 2] - 1, true);
            selection.setBaseAndExtent(start[0], start[1], end[0], end[1]);
            var line = velmoraHitLine();
            out.push(String(line[0]), line[1], line[2]);
        }
        selection.removeAllRanges();
        return out;
    }

    return {collect: collect, lines: lines};
})();

// Where the selection lies, as a text; the search compares it from hit to hit to notice a find
// that no longer moves on.
function velmoraSelectionKey() {
    var selection = window.getSelection();
    if (!selection.rangeCount)
        return '';
    function path(node, offset) {
        var steps = [offset];
        for (; node; node = node.parentNode) {
            var index = 0;
            for (var sibling = node.previousSibling; sibling; sibling = sibling.previousSibling)
                ++index;
            steps.push(index);
        }
        return steps.join('.');
    }
    var range = selection.getRangeAt(0);
    return path(range.startContainer, range.startOffset) + '-'
        + path(range.endContainer, range.endOffset);
}
