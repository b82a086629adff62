// Loaded by the search into its own off-screen page, after the page's find operation has
// selected a match. Both functions read text around the selection and then put the selection
// back as they found it, so that the next find continues from the same match.

// The whole visual line that holds the selection.
function getHighlightedSelection() {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return "";
    var saved = selection.getRangeAt(0).cloneRange();
    selection.modify("move", "backward", "lineboundary");
    selection.modify("extend", "forward", "lineboundary");
    var text = selection.toString();
    selection.removeAllRanges();
    selection.addRange(saved);
    return text;
}

// The selection with wordsDelta words on either side of it.
function selectAround(wordsDelta) {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return "";
    var saved = selection.getRangeAt(0).cloneRange();
    var i;
    for (i = 0; i < wordsDelta + 1; ++i)
        selection.modify("move", "backward", "word");
    for (i = 0; i < 2 * wordsDelta + 1; ++i)
        selection.modify("extend", "forward", "word");
    var text = selection.toString();
    selection.removeAllRanges();
    selection.addRange(saved);
    return text;
}
