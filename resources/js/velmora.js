// Runs in every page document the editor shows. It is loaded after jQuery and before
// jQuery UI, so anything that needs the resizable widget waits for the document to be ready.
// The host reaches the page through the global functions below and is called back through the
// bridge object "page".

var leftButtonClickedElement = null;
var rightButtonClickedElement = null;
// The one image that carries the resize handles, or null.
var resizableElement = null;
// The image's own style, class and size from before it was made resizable.
var resizableOriginal = null;
// The sizes pictures had before each drag of their handles, newest last. A new size is not one
// of the engine's edits, so the undo command takes these back first; any other edit forgets
// them.
var resizeUndo = [];

function setLeftButtonClickedElement(elem) {
    // While an image is resizable its parent is the wrapper, which also holds the handles:
    // a press on either keeps the decoration, a press anywhere else drops it.
    if (resizableElement !== null && elem.parentElement !== resizableElement.parentElement)
        removeResizable();
    leftButtonClickedElement = elem;
    if (elem.tagName === "IMG")
        makeResizable(elem);
}

function makeResizable(elem) {
    if (resizableElement === elem)
        return;
    tryRemoveResizable();
    resizableOriginal = {
        style: elem.getAttribute("style"),
        className: elem.getAttribute("class"),
        width: $(elem).width(),
        height: $(elem).height()
    };
    $(elem).resizable({
        aspectRatio: true,
        start: function () {
            resizeUndo.push({
                elem: elem,
                style: resizableOriginal.style,
                sizeChanged: $(elem).width() !== resizableOriginal.width
                    || $(elem).height() !== resizableOriginal.height,
                width: $(elem).width(),
                height: $(elem).height()
            });
        },
        stop: function () {
            commitContent();
        }
    });
    resizableElement = elem;
}

function restoreAttribute(elem, name, value) {
    if (value === null || value === "")
        elem.removeAttribute(name);
    else
        elem.setAttribute(name, value);
}

function removeResizable() {
    var elem = resizableElement;
    var original = resizableOriginal;
    // Cleared first: destroying the widget moves the image, and the selection change that
    // follows must not try to remove the decoration a second time.
    resizableElement = null;
    resizableOriginal = null;
    var width = $(elem).width();
    var height = $(elem).height();
    $(elem).resizable("destroy");
    // The widget leaves its positioning, margins and display on the image, and sets the width
    // to the wrapper's, border included, so that every click would grow the image by its
    // border. The image gets its own attributes back, and a size only when it was resized.
    restoreAttribute(elem, "style", original.style);
    restoreAttribute(elem, "class", original.className);
    if (width !== original.width || height !== original.height)
        $(elem).css({ width: width + "px", height: height + "px" });
    $(elem).css("display", "");
    restoreAttribute(elem, "style", elem.getAttribute("style"));
}

function tryRemoveResizable() {
    if (resizableElement !== null)
        removeResizable();
}

// Gives the picture last resized its size from before; false when there is nothing to undo.
function undoResize() {
    var entry = resizeUndo.pop();
    if (!entry)
        return false;
    if (!document.body.contains(entry.elem))
        return undoResize();
    tryRemoveResizable();
    restoreAttribute(entry.elem, "style", entry.style);
    if (entry.sizeChanged)
        $(entry.elem).css({ width: entry.width + "px", height: entry.height + "px" });
    commitContent();
    return true;
}

// Return at the end of a link gives the new line an empty copy of the link, and typing there
// would make a second link. The copy is taken away: the new line starts as plain text.
function leaveEmptyLinkAtCaret() {
    var selection = window.getSelection();
    if (selection.rangeCount === 0 || !selection.isCollapsed)
        return;
    var link = selection.anchorNode;
    while (link && link.nodeName !== "A")
        link = link.parentNode;
    if (!link || link.textContent.replace(/\u200b/g, "") !== "")
        return;
    var parent = link.parentNode;
    var index = Array.prototype.indexOf.call(parent.childNodes, link);
    while (link.firstChild)
        parent.insertBefore(link.firstChild, link);
    parent.removeChild(link);
    var range = document.createRange();
    range.setStart(parent, index);
    range.collapse(true);
    selection.removeAllRanges();
    selection.addRange(range);
}

// A picture pasted or dropped into a page keeps the id it had where it was copied from, and
// "Remove Image" would then find the first picture with that id instead of this one. A copy
// whose id is already taken gets a fresh one.
function freshImageId() {
    var hex = "0123456789abcdef";
    var digits = "";
    for (var i = 0; i < 32; ++i)
        digits += hex.charAt(Math.floor(Math.random() * 16));
    return "{" + digits.substr(0, 8) + "-" + digits.substr(8, 4) + "-4" + digits.substr(13, 3)
        + "-" + digits.substr(16, 4) + "-" + digits.substr(20, 12) + "}";
}

function renumberCopiedImages(node) {
    if (node.nodeType !== 1)
        return false;
    var images = node.nodeName === "IMG" ? [node] : node.getElementsByTagName("img");
    var renamed = false;
    for (var i = 0; i < images.length; ++i) {
        var id = images[i].getAttribute("id");
        if (!id)
            continue;
        var same = document.querySelectorAll("img");
        var count = 0;
        for (var k = 0; k < same.length; ++k) {
            if (same[k].getAttribute("id") === id)
                ++count;
        }
        if (count > 1) {
            images[i].setAttribute("id", freshImageId());
            renamed = true;
        }
    }
    return renamed;
}

// Called before every commit, so that the stored page never holds the wrapper or the handles.
function cleanupBeforeSaveContent() {
    tryRemoveResizable();
}

// --- Commits ---------------------------------------------------------------------------------

// The page sends its body to the editor itself: after each edit, and whenever the editor asks.
// Each commit names the document it comes from, the generation the editor gave this document,
// so that the editor can tell it from a commit of a page it no longer shows. Nothing is sent
// before the document is ready: a body still being parsed is not the page.
var commitGeneration = null;
// Watches the body for any change since the last commit; null until the document is ready.
var contentObserver = null;
var contentChanged = false;

function startCommits() {
    commitGeneration = Number(document.documentElement.getAttribute("data-generation"));
    contentObserver = new MutationObserver(function () {
        contentChanged = true;
    });
    contentObserver.observe(document.body,
        { childList: true, subtree: true, characterData: true, attributes: true });
}

// Key presses this document received. The editor counts those it handed to the engine, which
// brings them apart from the editor's scripts: a commit asked for after a key waits for it.
var keysReceived = 0;
window.addEventListener("keydown", function () {
    ++keysReceived;
}, true);

// takeCommit() once the document has received keysSent key presses; until then, how many.
function takeCommitAfterKeys(keysSent) {
    if (keysReceived < keysSent)
        return {keysReceived: keysReceived};
    return takeCommit();
}

// The cleaned body and the document's generation when anything changed since the last commit,
// else null; reading a long body on every request would cost each key its length once more.
// The editor takes it as the answer to its own request.
function takeCommit() {
    if (contentObserver === null || isNaN(commitGeneration))
        return null;
    // Changes not yet delivered to the observer are taken here, within the same turn.
    if (contentObserver.takeRecords().length > 0)
        contentChanged = true;
    if (!contentChanged)
        return null;
    cleanupBeforeSaveContent();
    // What the cleanup took away is no change of the page.
    contentObserver.takeRecords();
    contentChanged = false;
    return {generation: commitGeneration, html: document.body.innerHTML};
}

// Sends a commit through the bridge. Until the bridge is up, shortly after the document
// starts, the change waits for the next commit.
function commitContent() {
    if (!window.page)
        return;
    var commit = takeCommit();
    if (commit !== null)
        page.commitContent(commit.generation, commit.html);
}

// A function that runs fn once after the current burst of events, however often it is called
// meanwhile.
function onceAfterBurst(fn) {
    var queued = false;
    return function () {
        if (queued)
            return;
        queued = true;
        setTimeout(function () {
            queued = false;
            fn();
        }, 0);
    };
}

// One commit for a burst of edits: a replace-all edits once for each match.
var commitSoon = onceAfterBurst(commitContent);

function removeImage(imgElementId) {
    var elem = document.getElementById(imgElementId);
    if (elem === null)
        return;
    if (elem === resizableElement)
        removeResizable();
    elem.parentNode.removeChild(elem);
    commitContent();
}

// Replaces the first selection range by the given markup. The caret ends after the inserted
// nodes, or the inserted nodes end up selected when selectPastedContent is true.
function pasteHtmlAtCaret(html, selectPastedContent) {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return;
    var range = selection.getRangeAt(0);
    range.deleteContents();

    var container = document.createElement("div");
    container.innerHTML = html;
    var fragment = document.createDocumentFragment();
    var firstNode = container.firstChild;
    var lastNode = null;
    var node;
    while ((node = container.firstChild) !== null)
        lastNode = fragment.appendChild(node);
    range.insertNode(fragment);

    if (lastNode === null)
        return;
    range = range.cloneRange();
    range.setStartAfter(lastNode);
    if (selectPastedContent)
        range.setStartBefore(firstNode);
    else
        range.collapse(true);
    selection.removeAllRanges();
    selection.addRange(range);
}

function selectedText() {
    return window.getSelection().toString();
}

function hasSelection() {
    return selectedText().trim().length > 0;
}

function selectedHTML() {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return "";
    var container = document.createElement("div");
    for (var i = 0; i < selection.rangeCount; ++i)
        container.appendChild(selection.getRangeAt(i).cloneContents());
    return container.innerHTML;
}

// True when nothing is selected and the caret has a non-blank character on both sides.
function isInsideWordWithoutSelection() {
    if (hasSelection())
        return false;
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return false;
    // The probes below move the selection; put the caret back exactly where it was, also at
    // the start or end of the document, where a probe cannot extend and the move back would
    // otherwise shift the caret by one.
    var saved = selection.getRangeAt(0).cloneRange();
    selection.collapseToStart();
    selection.modify("extend", "backward", "character");
    var result = selection.toString().trim().length > 0;
    if (result) {
        selection.collapseToEnd();
        selection.modify("extend", "forward", "character");
        result = selection.toString().trim().length > 0;
    }
    selection.removeAllRanges();
    selection.addRange(saved);
    return result;
}

function getLeftButtonClickedElement() {
    return leftButtonClickedElement;
}

function getRightButtonClickedElement() {
    return rightButtonClickedElement;
}

function currentElement() {
    return document.activeElement;
}

function deleteElementWithID(elementID) {
    var elem = document.getElementById(elementID);
    if (elem !== null)
        elem.parentNode.removeChild(elem);
}

// Selects the word at the caret. Where a forward word move stops differs between platforms:
// after the following space on Windows, at the end of the word elsewhere. Stepping back one
// character unconditionally cut the last letter off the word, so only a trailing space is
// given back.
function selectWord() {
    var sel = document.getSelection();
    sel.modify("move", "forward", "word");
    sel.modify("move", "backward", "word");
    sel.modify("extend", "forward", "word");
    if (/\s$/.test(sel.toString()))
        sel.modify("extend", "backward", "character");
}

// Adds the contents of the link around the selection's anchor to the selection.
function selectLink() {
    var selection = document.getSelection();
    var node = selection.anchorNode;
    while (node && node.nodeName !== "A")
        node = node.parentNode;
    if (node) {
        var range = document.createRange();
        range.selectNodeContents(node);
        // The engine keeps one range only: a second one added would be dropped.
        selection.removeAllRanges();
        selection.addRange(range);
    }
}

function collapseSelectionToStart() {
    if (window.getSelection().rangeCount > 0)
        window.getSelection().collapseToStart();
}

// Wraps the selection in a span of that font size in pixels and keeps it selected.
function setSelectionFontSize(pixels) {
    var span = document.createElement("span");
    span.style.fontSize = pixels + "px";
    var selection = document.getSelection();
    var range = selection.getRangeAt(0).cloneRange();
    range.surroundContents(span);
    selection.removeAllRanges();
    selection.addRange(range);
}

// After unlinking, the engine may leave a styled span around the former link text. Only such a
// wrapper, a span holding nothing but that text, is replaced by its text; a paragraph, the body
// or any other element around the selection is never touched.
function unwrapUnlinkedText(text) {
    var sel = window.getSelection();
    if (sel.rangeCount === 0)
        return;
    var node = sel.getRangeAt(0).startContainer;
    var wrapper = node.nodeType === 3 ? node.parentNode : node;
    if (!wrapper || wrapper.nodeName !== "SPAN" || wrapper.children.length > 0
        || wrapper.textContent !== text)
        return;
    wrapper.parentNode.replaceChild(document.createTextNode(text), wrapper);
}

// The node name and id of the element of the last right-button press; empty without one.
function rightButtonClickedElementInfo() {
    var e = getRightButtonClickedElement();
    return e ? {nodeName: e.nodeName, id: e.id, inTable: closestElement(e, /^(TD|TH)$/) !== null}
             : {};
}

// With a bare caret between two letters of a word, selects the word and returns how many of
// its characters lie before the caret; anywhere else returns -1 and leaves the caret alone, so
// that a formatting command there sets the style of what is typed next.
function selectWordAroundCaret() {
    var selection = window.getSelection();
    if (selection.rangeCount === 0 || !selection.isCollapsed)
        return -1;
    var node = selection.anchorNode;
    var offset = selection.anchorOffset;
    if (!node || node.nodeType !== 3 || offset === 0 || offset >= node.data.length)
        return -1;
    var separator = /[\s\u00a0.,;:!?"'\u201c\u201d\u2018\u2019()\[\]{}<>\/\\\-\u2013\u2014\u2026]/;
    if (separator.test(node.data.charAt(offset - 1)) || separator.test(node.data.charAt(offset)))
        return -1;
    selection.modify("move", "backward", "word");
    var before = document.createRange();
    before.setStart(selection.anchorNode, selection.anchorOffset);
    before.setEnd(node, offset);
    var count = before.toString().length;
    selection.modify("extend", "forward", "word");
    if (/\s$/.test(selection.toString()))
        selection.modify("extend", "backward", "character");
    return count;
}

// Puts a bare caret that many characters into the selection.
function placeCaretInSelection(count) {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return;
    selection.collapseToStart();
    for (var i = 0; i < count; ++i)
        selection.modify("move", "forward", "character");
}

// --- Block formats ----------------------------------------------------------------------------

var blockNames = /^(P|DIV|H[1-6]|PRE|BLOCKQUOTE|LI|TD|TH)$/;

// The nearest element around node (itself included) whose name matches names, below the body.
function closestElement(node, names) {
    while (node && node !== document.body) {
        if (node.nodeType === 1 && names.test(node.nodeName))
            return node;
        node = node.parentNode;
    }
    return null;
}

// The node the caret is in. A caret between elements, as a range collapsed at the end of the
// body leaves it, stands in the one before it, where the engine puts what is typed.
function caretNode() {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return null;
    var node = selection.anchorNode;
    var offset = selection.anchorOffset;
    while (node.nodeType === 1 && node.childNodes.length > 0) {
        node = node.childNodes[Math.max(0, offset - 1)];
        offset = offset > 0 ? (node.nodeType === 1 ? node.childNodes.length : 0) : 0;
    }
    return node;
}

function placeCaret(node, offset) {
    var range = document.createRange();
    range.setStart(node, offset);
    range.collapse(true);
    var selection = window.getSelection();
    selection.removeAllRanges();
    selection.addRange(range);
}

function unwrapElement(element) {
    var parent = element.parentNode;
    while (element.firstChild)
        parent.insertBefore(element.firstChild, element);
    parent.removeChild(element);
}

// What the caret stands in, for the checked states of the format commands.
function blockFormatState() {
    var node = caretNode();
    var block = closestElement(node, /^(H1|H2|H3|PRE|BLOCKQUOTE)$/);
    var list = closestElement(node, /^(UL|OL)$/);
    var listName = !list ? "" : list.classList.contains("checklist") ? "checklist"
                                                                     : list.nodeName.toLowerCase();
    return {
        block: block ? block.nodeName.toLowerCase() : "",
        list: listName,
        code: closestElement(node, /^CODE$/) !== null,
        table: closestElement(node, /^(TD|TH)$/) !== null
    };
}

// Heading, normal text, code block and quote for the blocks the selection touches; a block
// given its own format again becomes normal text, and normal text also ends a list.
function toggleBlockFormat(tag) {
    var list = tag === "p" ? closestElement(caretNode(), /^(UL|OL)$/) : null;
    if (list) {
        toggleList(list.classList.contains("checklist") ? "checklist"
                                                       : list.nodeName.toLowerCase());
        return;
    }
    var current = closestElement(caretNode(), new RegExp("^" + tag.toUpperCase() + "$"));
    if (current && tag === "blockquote") {
        // A quote holds blocks of its own: it is taken away around them.
        if (current.children.length === 0
            || /^(#text|BR|B|I|U|A|SPAN|CODE|STRIKE)$/.test(current.firstChild.nodeName)) {
            document.execCommand("formatBlock", false, "p");
        } else {
            var selection = window.getSelection();
            var range = selection.rangeCount > 0 ? selection.getRangeAt(0).cloneRange() : null;
            unwrapElement(current);
            if (range) {
                selection.removeAllRanges();
                selection.addRange(range);
            }
        }
        return;
    }
    document.execCommand("formatBlock", false, current || tag === "p" ? "p" : tag);
}

function makeCheckbox(checked) {
    var box = document.createElement("input");
    box.setAttribute("type", "checkbox");
    if (checked)
        box.setAttribute("checked", "");
    return box;
}

function leadingCheckbox(item) {
    var first = item.firstChild;
    while (first && first.nodeType === 3 && first.data === "")
        first = first.nextSibling;
    return first && first.nodeName === "INPUT" && first.type === "checkbox" ? first : null;
}

function addCheckboxes(list, checked) {
    for (var item = list.firstElementChild; item; item = item.nextElementSibling) {
        if (item.nodeName === "LI" && !leadingCheckbox(item))
            item.insertBefore(makeCheckbox(checked), item.firstChild);
    }
}

function removeCheckboxes(list) {
    for (var item = list.firstElementChild; item; item = item.nextElementSibling) {
        var box = item.nodeName === "LI" ? leadingCheckbox(item) : null;
        if (box)
            item.removeChild(box);
    }
}

function makePlainList(list) {
    removeCheckboxes(list);
    list.classList.remove("checklist");
    if (list.className === "")
        list.removeAttribute("class");
}

// Bullets ("ul"), numbers ("ol") or a checklist ("checklist") for the blocks the selection
// touches; the list's own kind again makes them normal text.
// The engine puts the caret at the list's start; it stays in the text where it was.
function toggleList(kind) {
    var caret = window.getSelection().isCollapsed ? caretTextOffset() : -1;
    toggleListAtCaret(kind);
    if (caret >= 0)
        placeCaretAtTextOffset(caret);
}

function toggleListAtCaret(kind) {
    var list = closestElement(caretNode(), /^(UL|OL)$/);
    var isChecklist = list !== null && list.classList.contains("checklist");
    if (kind === "checklist") {
        if (isChecklist) {
            makePlainList(list);
            document.execCommand("insertUnorderedList");
            return;
        }
        if (!list || list.nodeName !== "UL") {
            newListOutsideParagraph();
            document.execCommand("insertUnorderedList");
        }
        list = closestElement(caretNode(), /^UL$/);
        if (list) {
            list.className = "checklist";
            addCheckboxes(list, false);
        }
        return;
    }
    if (isChecklist) {
        makePlainList(list);
        if (kind === "ul")
            return;
    }
    newListOutsideParagraph();
    document.execCommand(kind === "ol" ? "insertOrderedList" : "insertUnorderedList");
}

// The engine makes a list inside the paragraph it starts from, which the stored markup cannot
// hold: a reader ends the paragraph before the list. A paragraph is made a division first.
function newListOutsideParagraph() {
    if (!closestElement(caretNode(), /^(UL|OL)$/) && closestElement(caretNode(), /^P$/))
        document.execCommand("formatBlock", false, "div");
}

// Inline code around the selection, or taken off the code element the caret is in.
function toggleInlineCode() {
    var code = closestElement(caretNode(), /^CODE$/);
    if (code && !closestElement(code, /^PRE$/)) {
        unwrapElement(code);
        return;
    }
    var selection = window.getSelection();
    if (selection.rangeCount === 0 || selection.isCollapsed)
        return;
    var range = selection.getRangeAt(0);
    code = document.createElement("code");
    code.appendChild(range.extractContents());
    range.insertNode(code);
    range.selectNodeContents(code);
    selection.removeAllRanges();
    selection.addRange(range);
}

function insertRule() {
    document.execCommand("insertHorizontalRule");
}

// --- Checklist items -------------------------------------------------------------------------

// Return in an empty checklist item ends the list, as it does in any list: the item's checkbox
// would otherwise keep it from counting as empty.
function beforeReturn() {
    var item = closestElement(caretNode(), /^LI$/);
    if (!item || !item.parentNode.classList.contains("checklist"))
        return;
    var box = leadingCheckbox(item);
    if (box && item.textContent.replace(/[\s\u200b]/g, "") === "") {
        item.removeChild(box);
        if (!item.firstChild)
            item.appendChild(document.createElement("br"));
        placeCaret(item, 0);
    }
}

// A new item of a checklist gets an unchecked checkbox of its own, with the caret after it.
function afterReturn() {
    var item = closestElement(caretNode(), /^LI$/);
    if (!item || !item.parentNode.classList.contains("checklist"))
        return;
    var box = leadingCheckbox(item);
    if (box) {
        if (box.hasAttribute("checked") && item.previousElementSibling
            && item.textContent.replace(/[\s\u200b]/g, "") === "")
            box.removeAttribute("checked");
        return;
    }
    // The line break that holds an empty item open is not needed beside a box, and typing
    // would leave it after the text.
    if (item.childNodes.length === 1 && item.firstChild.nodeName === "BR")
        item.removeChild(item.firstChild);
    box = makeCheckbox(false);
    item.insertBefore(box, item.firstChild);
    placeCaret(item, 1);
}

function toggleCheckbox(box) {
    if (box.hasAttribute("checked"))
        box.removeAttribute("checked");
    else
        box.setAttribute("checked", "");
    // Set after the engine's own toggle, which has happened by the time the click arrives.
    box.checked = box.hasAttribute("checked");
    commitContent();
}

// --- Markdown-style typing -------------------------------------------------------------------

// How many editing steps the last conversion took; the undo command takes them all back at
// once, which leaves the typed characters. Anything else done afterwards forgets them.
var autoformatUndoSteps = 0;

// The text from the start of the caret's line to the caret, with the range it covers; null
// when the line holds more than text (a picture, a line break) before the caret.
// Only a line whose text so far matches pattern in the caret's own text node is looked at
// further, so that typing in a long paragraph stays cheap.
function lineStartText(pattern) {
    var selection = window.getSelection();
    if (selection.rangeCount === 0 || !selection.isCollapsed)
        return null;
    var node = selection.anchorNode;
    if (node.nodeType !== 3
        || !pattern.test(node.data.substring(0, selection.anchorOffset).replace(/\u00a0/g, " ")))
        return null;
    var block = closestElement(node, blockNames) || document.body;
    var range = document.createRange();
    range.setStart(block, 0);
    range.setEnd(node, selection.anchorOffset);
    if (range.cloneContents().querySelector("br, img, input, hr, table"))
        return null;
    return {text: range.toString().replace(/\u00a0/g, " "), range: range, block: block};
}

// The marker is deleted as one step of its own, so that undoing the conversion gives it back.
function replaceMarker(range) {
    var selection = window.getSelection();
    selection.removeAllRanges();
    selection.addRange(range);
    document.execCommand("delete");
}

// Called after a space was typed. Converts "# ", "## ", "### ", "- ", "* ", "1. ", "[ ] ",
// "[x] " and "> " at the start of a line into their block; returns whether it did.
function autoformatAfterSpace() {
    autoformatUndoSteps = 0;
    var line = lineStartText(/^(#{1,3}|[-*>]|1\.|\[[ x]\]) $/);
    if (!line || closestElement(caretNode(), /^(PRE|CODE|LI|TD|TH)$/))
        return false;
    var blocks = {"# ": "h1", "## ": "h2", "### ": "h3", "> ": "blockquote"};
    var lists = {"- ": "ul", "* ": "ul", "1. ": "ol", "[ ] ": "checklist", "[x] ": "checklist"};
    if (!(line.text in blocks) && !(line.text in lists))
        return false;
    if (line.text in blocks) {
        replaceMarker(line.range);
        document.execCommand("formatBlock", false, blocks[line.text]);
        autoformatUndoSteps = 2;
        return true;
    }
    // The list replaces the marker in one step. Made by the engine's list command, it would
    // join a list just above and land inside the paragraph instead of taking its place.
    var kind = lists[line.text];
    var box = kind !== "checklist" ? ""
        : line.text === "[x] " ? "<input type='checkbox' checked>" : "<input type='checkbox'>";
    var selection = window.getSelection();
    selection.removeAllRanges();
    selection.addRange(line.range);
    document.execCommand("insertHTML", false, (kind === "ol" ? "<ol>" : kind === "ul" ? "<ul>"
        : "<ul class='checklist'>") + "<li>" + (box || "<br>") + "</li>"
        + (kind === "ol" ? "</ol>" : "</ul>"));
    autoformatUndoSteps = 1;
    var item = closestElement(caretNode(), /^LI$/);
    if (item && box !== "")
        placeCaret(item, 1);
    return true;
}

// Called before Return reaches the engine. "---" alone on a line becomes a horizontal rule and
// three backquotes a code block; returns whether the Return was used up so.
function autoformatOnReturn() {
    autoformatUndoSteps = 0;
    var line = lineStartText(/^(---|```)$/);
    if (!line || closestElement(caretNode(), /^(PRE|CODE|LI|TD|TH)$/))
        return false;
    if (line.text !== "---" && line.text !== "```")
        return false;
    var rest = document.createRange();
    rest.setStart(window.getSelection().anchorNode, window.getSelection().anchorOffset);
    rest.setEnd(line.block, line.block.childNodes.length);
    if (rest.toString().trim() !== "")
        return false;
    replaceMarker(line.range);
    if (line.text === "---")
        document.execCommand("insertHorizontalRule");
    else
        document.execCommand("formatBlock", false, "pre");
    autoformatUndoSteps = 2;
    return true;
}

// Down on the last line of a code block, quote or table that ends the page opens a
// paragraph after it: otherwise the keyboard could never get below it.
function leaveLastBlock() {
    var selection = window.getSelection();
    if (selection.rangeCount === 0 || !selection.isCollapsed)
        return false;
    var block = closestElement(caretNode(), /^(PRE|BLOCKQUOTE|TABLE)$/);
    if (!block)
        return false;
    while (block.parentNode !== document.body)
        block = block.parentNode;
    var rest = document.createRange();
    rest.setStart(selection.anchorNode, selection.anchorOffset);
    rest.setEnd(document.body, document.body.childNodes.length);
    var after = rest.cloneContents();
    if (after.textContent.replace(/\u00a0/g, " ").trim() !== ""
        || after.querySelector("img, hr, input"))
        return false;
    for (var node = block.nextSibling; node; node = node.nextSibling) {
        if (node.nodeType === 1 || node.data.trim() !== "")
            return false;
    }
    var paragraph = document.createElement("p");
    paragraph.appendChild(document.createElement("br"));
    document.body.appendChild(paragraph);
    placeCaret(paragraph, 0);
    return true;
}

// Also takes back a Replace All, whose steps it counts the same way.
function undoAutoformat() {
    var steps = autoformatUndoSteps;
    autoformatUndoSteps = 0;
    for (var i = 0; i < steps; ++i)
        document.execCommand("undo");
    return steps > 0;
}

// --- Tables ----------------------------------------------------------------------------------

function insertTable(rows, columns) {
    var html = "<table id='velmora-new-table'><tbody>";
    for (var r = 0; r < rows; ++r) {
        html += "<tr>";
        for (var c = 0; c < columns; ++c)
            html += "<td><br></td>";
        html += "</tr>";
    }
    html += "</tbody></table><p><br></p>";
    document.execCommand("insertHTML", false, html);
    var table = document.getElementById("velmora-new-table");
    if (table) {
        table.removeAttribute("id");
        placeCaret(table.querySelector("td"), 0);
    }
}

function cellsOf(table) {
    return Array.prototype.filter.call(table.querySelectorAll("td, th"), function (cell) {
        return closestElement(cell, /^TABLE$/) === table;
    });
}

function selectCellContents(cell) {
    var range = document.createRange();
    range.selectNodeContents(cell);
    if (cell.textContent === "")
        range.collapse(true);
    var selection = window.getSelection();
    selection.removeAllRanges();
    selection.addRange(range);
}

function emptyCellLike(cell) {
    var copy = document.createElement(cell.nodeName);
    copy.appendChild(document.createElement("br"));
    return copy;
}

function addRow(row, above) {
    var copy = document.createElement("tr");
    for (var cell = row.firstElementChild; cell; cell = cell.nextElementSibling)
        copy.appendChild(emptyCellLike(cell));
    row.parentNode.insertBefore(copy, above ? row : row.nextSibling);
    return copy;
}

// Tab and Shift+Tab: in a table to the next or previous cell, Tab in the last cell adding a
// row; in a list item, one level in or out. Returns whether the key was used.
function tabKey(backward) {
    var node = caretNode();
    var cell = closestElement(node, /^(TD|TH)$/);
    if (cell) {
        var cells = cellsOf(closestElement(cell, /^TABLE$/));
        var index = cells.indexOf(cell);
        var target = null;
        if (backward)
            target = index > 0 ? cells[index - 1] : null;
        else if (index + 1 < cells.length)
            target = cells[index + 1];
        else
            target = addRow(cell.parentNode, false).firstElementChild;
        if (target)
            selectCellContents(target);
        if (!backward && index + 1 === cells.length)
            commitContent();
        return true;
    }
    if (closestElement(node, /^LI$/)) {
        // The engine puts the caret at the item's start; it stays in the text where it was.
        var selection = window.getSelection();
        var caret = selection.isCollapsed ? caretTextOffset() : -1;
        document.execCommand(backward ? "outdent" : "indent");
        if (caret >= 0)
            placeCaretAtTextOffset(caret);
        return true;
    }
    return false;
}

// How many characters of the body's text lie before the caret.
function caretTextOffset() {
    var selection = window.getSelection();
    var range = document.createRange();
    range.setStart(document.body, 0);
    range.setEnd(selection.anchorNode, selection.anchorOffset);
    return range.toString().length;
}

function placeCaretAtTextOffset(count) {
    var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    for (var node = walker.nextNode(); node; node = walker.nextNode()) {
        if (count <= node.length) {
            placeCaret(node, count);
            return;
        }
        count -= node.length;
    }
}

// The table cell of the last right-button press, or the caret's.
function commandCell() {
    var cell = closestElement(rightButtonClickedElement, /^(TD|TH)$/);
    if (!cell || !document.body.contains(cell))
        cell = closestElement(caretNode(), /^(TD|TH)$/);
    return cell;
}

function tableCommand(command) {
    var cell = commandCell();
    if (!cell)
        return;
    var row = cell.parentNode;
    var table = closestElement(row, /^TABLE$/);
    var rows = Array.prototype.filter.call(table.querySelectorAll("tr"), function (r) {
        return closestElement(r, /^TABLE$/) === table;
    });
    var column = cell.cellIndex;
    if (command === "deleteTable") {
        table.parentNode.removeChild(table);
    } else if (command === "insertRowAbove" || command === "insertRowBelow") {
        addRow(row, command === "insertRowAbove");
    } else if (command === "deleteRow") {
        row.parentNode.removeChild(row);
        if (rows.length === 1)
            table.parentNode.removeChild(table);
    } else if (command === "insertColumnLeft" || command === "insertColumnRight") {
        rows.forEach(function (r) {
            var at = r.cells[Math.min(column, r.cells.length - 1)];
            if (at)
                r.insertBefore(emptyCellLike(at),
                    command === "insertColumnLeft" ? at : at.nextSibling);
        });
    } else if (command === "deleteColumn") {
        rows.forEach(function (r) {
            if (column < r.cells.length)
                r.removeChild(r.cells[column]);
        });
        if (cellsOf(table).length === 0)
            table.parentNode.removeChild(table);
    }
    rightButtonClickedElement = null;
    commitContent();
}

$(document).ready(function () {
    startCommits();
    new MutationObserver(function (mutations) {
        var renamed = false;
        mutations.forEach(function (mutation) {
            for (var i = 0; i < mutation.addedNodes.length; ++i)
                renamed = renumberCopiedImages(mutation.addedNodes[i]) || renamed;
        });
        if (renamed)
            commitContent();
    }).observe(document.body, { childList: true, subtree: true });
    document.body.addEventListener("input", function () {
        resizeUndo = [];
        commitSoon();
        reportStateSoon();
    });
    // A click on a checklist's box checks or clears it in the markup itself, so that the state
    // is stored with the page; the engine changes only the box's live state, and in an
    // editable document not always that.
    document.body.addEventListener("click", function (event) {
        var box = event.target;
        if (box.nodeName === "INPUT" && box.type === "checkbox")
            toggleCheckbox(box);
        else if (event.button === 0)
            followLink(event);
    });
    document.addEventListener("keydown", keyDown);
    document.addEventListener("keyup", finishKey);
    $("body").on("dragstart", function () {
        tryRemoveResizable();
    });
    $("body").on("mousedown", function (event) {
        autoformatUndoSteps = 0;
        if (event.button === 0)
            setLeftButtonClickedElement(event.target);
        else if (event.button === 2) {
            rightButtonClickedElement = event.target;
            if (window.page)
                page.reportContextElement(rightButtonClickedElementInfo());
        }
    });
});

// A press moves the selection too, and the engine reports that change after the press has been
// handled, which has already decided about the picture's handles: only other selection changes
// (keys, commands) take them away.
var pressing = false;
// The selection as the last press left it. The engine may report a press's change only after
// the release, and late by an unknown time on a busy machine: a report that finds the selection
// still where the press put it is that press's own.
var pressSelection = null;

function selectionPoints() {
    var selection = window.getSelection();
    return {
        anchor: selection.anchorNode, anchorOffset: selection.anchorOffset,
        focus: selection.focusNode, focusOffset: selection.focusOffset
    };
}

function sameSelectionPoints(a, b) {
    return a !== null && b !== null && a.anchor === b.anchor && a.anchorOffset === b.anchorOffset
        && a.focus === b.focus && a.focusOffset === b.focusOffset;
}

document.addEventListener("mousedown", function () {
    pressing = true;
    pressSelection = null;
}, true);
document.addEventListener("mouseup", function () {
    pressing = false;
    pressSelection = selectionPoints();
}, true);

// Bound at once rather than when the document is ready: a selection can change before that.
document.addEventListener("selectionchange", function () {
    if (!pressing && !sameSelectionPoints(pressSelection, selectionPoints())) {
        pressSelection = null;
        tryRemoveResizable();
    }
    reportStateSoon();
});

// The engine follows no link inside editable content; a click on one is handed on as a click
// on a copy outside the document, which the editor receives as a clicked link.
function followLink(event) {
    var link = closestElement(event.target, /^A$/);
    if (!link || !link.getAttribute("href"))
        return;
    event.preventDefault();
    var copy = document.createElement("a");
    copy.href = link.getAttribute("href");
    copy.click();
}

// --- Find ------------------------------------------------------------------------------------

// The find bar and the page search go through the engine's own find (window.find), so that
// what they count and select is what the engine finds and highlights.

// How many matches of text there are from the top, up to max, and which of them the selection
// starts at (from 1; 0 when none). The find selects each match in turn: the selection and the
// scroll are put back afterwards.
function findCount(text, caseSensitive, max) {
    var selection = window.getSelection();
    var saved = selection.rangeCount > 0 ? selection.getRangeAt(0).cloneRange() : null;
    findSelection = saved;
    var x = window.pageXOffset;
    var y = window.pageYOffset;
    selection.removeAllRanges();
    var count = 0;
    var current = 0;
    while (count < max && window.find(text, caseSensitive, false, false, false, false, false)) {
        ++count;
        if (current === 0 && saved !== null && selection.rangeCount > 0
            && selection.getRangeAt(0).compareBoundaryPoints(Range.START_TO_START, saved) === 0)
            current = count;
    }
    selection.removeAllRanges();
    if (saved !== null)
        selection.addRange(saved);
    window.scrollTo(x, y);
    return {count: count, current: current};
}

// The selection as the last count found it: the engine's own find, which highlights the
// matches, starts from the selection and drops it; it is set again afterwards.
var findSelection = null;

function restoreFindSelection() {
    if (findSelection === null)
        return;
    var selection = window.getSelection();
    selection.removeAllRanges();
    selection.addRange(findSelection);
}

// One step of the find bar, then the count: "start" finds the match at or after the
// selection's start, "next" and "previous" move on from the selection, wrapping at either end.
function findStep(text, caseSensitive, step, max) {
    if (step === "start")
        collapseSelectionToStart();
    var found = text !== ""
        && window.find(text, caseSensitive, step === "previous", true, false, false, false);
    var answer = findCount(text, caseSensitive, max);
    answer.found = found;
    return answer;
}

// Replaces the selection when it is a match of text, as the find bar's Replace does; whether
// it was one.
function replaceSelectedMatch(text, caseSensitive, replacement) {
    // The find reads a no-break space as a space.
    var selected = window.getSelection().toString().replace(/\u00a0/g, " ");
    var wanted = text.replace(/\u00a0/g, " ");
    var same = caseSensitive ? selected === wanted
        : selected.toLocaleLowerCase() === wanted.toLocaleLowerCase();
    if (text === "" || !same)
        return false;
    if (replacement === "")
        document.execCommand("delete");
    else
        document.execCommand("insertText", false, replacement);
    return true;
}

// Replaces every match of text from the top, at most max, each by one of the engine's edits;
// the undo command takes them back together. How many were replaced.
function replaceAllMatches(text, replacement, caseSensitive, max) {
    var selection = window.getSelection();
    selection.removeAllRanges();
    var replaced = 0;
    while (replaced < max && window.find(text, caseSensitive, false, false, false, false, false)) {
        if (replacement === "")
            document.execCommand("delete");
        else
            document.execCommand("insertText", false, replacement);
        ++replaced;
    }
    autoformatUndoSteps = replaced;
    findSettleSelection();
    return replaced;
}

// Selects the occurrence-th match of text (from 0) and scrolls it into view. From the top, the
// find meets the matches in the order the page search counted its hits.
function selectSearchHit(text, occurrence) {
    window.getSelection().removeAllRanges();
    for (var i = 0; i <= occurrence; ++i) {
        if (!window.find(text, false, false, false, false, false, false))
            return;
    }
}

// Sets the selection again where it is, which ends the engine's open typing step.
function findSettleSelection() {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return;
    var range = selection.getRangeAt(0).cloneRange();
    selection.removeAllRanges();
    selection.addRange(range);
}

// --- Keys ------------------------------------------------------------------------------------

// What the key pressed last still has to do once the engine has handled it: "return" or
// "space". Done when the key is released, or when the next one goes down first; not on the
// input event, which comes while the engine's typing step is still open, so that a
// conversion made there would be undone together with the typing.
var keyAfterEngine = "";

function editable() {
    return document.body !== null && document.body.isContentEditable;
}

function keyDown(event) {
    // A key pressed before the last one was released finishes that one first.
    finishKey();
    var ctrlOnly = event.ctrlKey && !event.altKey && !event.metaKey;
    // The bridge comes up shortly after the document starts; keys before that are the
    // engine's alone.
    if (!window.page)
        return;
    if (event.keyCode === 27)
        page.escapePressed();
    // Undo and paste are the editor's own: undo takes back conversions and picture sizes
    // first, and a paste is cleaned and may have to wait for its pictures.
    if ((ctrlOnly && !event.shiftKey && event.keyCode === 90)
        || (event.altKey && !event.ctrlKey && event.keyCode === 8)) {
        event.preventDefault();
        undoEdit();
        return;
    }
    if (editable() && event.ctrlKey && !event.altKey && !event.metaKey
        && (event.keyCode === 89 && !event.shiftKey || event.keyCode === 90 && event.shiftKey)) {
        event.preventDefault();
        document.execCommand("redo");
        reportState();
        return;
    }
    var style = ctrlOnly && !event.shiftKey && editable()
        ? {66: "bold", 73: "italic", 85: "underline"}[event.keyCode] : undefined;
    if (style !== undefined) {
        event.preventDefault();
        toggleStyle(style);
        reportState();
        return;
    }
    if ((ctrlOnly && !event.shiftKey && event.keyCode === 86)
        || (event.shiftKey && !event.ctrlKey && !event.altKey && event.keyCode === 45)) {
        event.preventDefault();
        page.paste();
        return;
    }
    // Any key but a modifier alone ends the time in which undo takes a conversion back.
    if ([16, 17, 18, 91, 92, 93, 224].indexOf(event.keyCode) < 0)
        autoformatUndoSteps = 0;
    if (!editable())
        return;
    var plain = !event.shiftKey && !event.ctrlKey && !event.altKey && !event.metaKey;
    if (event.keyCode === 40 && plain && leaveLastBlock()) {
        event.preventDefault();
    } else if (event.keyCode === 13 && !event.shiftKey) {
        if (page.autoformat && autoformatOnReturn()) {
            event.preventDefault();
            reportState();
            return;
        }
        beforeReturn();
        keyAfterEngine = "return";
    } else if (event.keyCode === 9 && !event.ctrlKey && !event.altKey && !event.metaKey) {
        // In a table or a list Tab moves between cells or indents; elsewhere it puts in a tab,
        // as a text editor does, rather than moving the focus out of the page (F6 and
        // Ctrl+Tab do that). Shift+Tab outside them does nothing.
        if (tabKey(event.shiftKey)) {
            event.preventDefault();
            reportState();
        } else if (document.designMode === "on") {
            event.preventDefault();
            if (!event.shiftKey)
                document.execCommand("insertText", false, "\t");
        }
    } else if (event.keyCode === 32 && !event.ctrlKey && !event.altKey && !event.metaKey
               && page.autoformat) {
        keyAfterEngine = "space";
    }
}

function finishKey() {
    var key = keyAfterEngine;
    keyAfterEngine = "";
    if (key === "return") {
        // What this script changes besides the engine's own commands (a checklist's new box)
        // is committed here.
        leaveEmptyLinkAtCaret();
        afterReturn();
        commitContent();
    } else if (key === "space" && autoformatAfterSpace()) {
        commitContent();
    }
}

// --- Commands from the editor ----------------------------------------------------------------

// A command given with a bare caret inside a word applies to the word, and the caret stays
// where it was; elsewhere it sets the style of what is typed next.
function formatSelectionOrWord(command) {
    var caret = selectedText() === "" ? selectWordAroundCaret() : -1;
    command();
    if (caret >= 0)
        placeCaretInSelection(caret);
    reportState();
}

// "bold", "italic", "underline" or "strikethrough".
function toggleStyle(name) {
    formatSelectionOrWord(function () {
        document.execCommand(name, false, null);
    });
}

// The size in pixels the selection's own markup sets, innermost first, then the elements around
// it; defaultSize where none sets one in pixels.
function selectionFontSize(defaultSize) {
    var range = window.getSelection().getRangeAt(0);
    var size = "";
    var copy = range.cloneContents();
    for (var e = copy.firstElementChild; e; e = e.firstElementChild) {
        if (e.style.fontSize)
            size = e.style.fontSize;
    }
    for (var node = range.startContainer; !size && node && node !== document.body;
         node = node.parentNode) {
        if (node.nodeType === 1 && node.style.fontSize)
            size = node.style.fontSize;
    }
    // "22px" gives 22; another unit ("1.5em") or no number counts as the default.
    var number = size.slice(0, -2);
    return /^[+-]?\d+$/.test(number) && parseInt(number, 10) !== 0 ? parseInt(number, 10)
                                                                   : defaultSize;
}

// Wraps the selection in a span whose size is its current size plus delta, at least 1 px; at a
// bare caret the engine's own command sizes what is typed next.
function changeFontSize(delta, defaultSize) {
    formatSelectionOrWord(function () {
        if (selectedText() === "")
            document.execCommand("fontSizeDelta", false, delta + "px");
        else
            setSelectionFontSize(Math.max(1, selectionFontSize(defaultSize) + delta));
    });
}

// Takes back a conversion or a picture's new size before the engine's own last edit.
function undoEdit() {
    if (!undoAutoformat() && !undoResize())
        document.execCommand("undo");
    reportState();
}

// The link at the selection, or around the caret; "" when there is none.
function linkAtSelection() {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return "";
    var range = selection.getRangeAt(0);
    var link = closestElement(range.startContainer, /^A$/);
    // The text around a link is often selected with it, so the link may sit anywhere inside.
    if (!link && !selection.isCollapsed)
        link = range.cloneContents().querySelector("a");
    return link ? link.getAttribute("href") || "" : "";
}

// What the link command acts on: the link at the selection, or else the selected text, the word
// at a bare caret selected first.
function linkCommandTarget() {
    var url = linkAtSelection();
    if (url !== "")
        return {url: url, text: ""};
    if (selectedText() === "")
        selectWord();
    return {url: "", text: selectedText()};
}

function createLinkAtSelection(url) {
    if (selectedText() === "")
        selectWord();
    document.execCommand("createLink", false, url);
    collapseSelectionToStart();
}

function unlinkAtSelection() {
    if (selectedHTML() === "")
        selectLink();
    document.execCommand("unlink", false, "false");
    // The engine may leave a styled span around the former link text; only a span that holds
    // nothing but that text is taken off.
    unwrapUnlinkedText(selectedText());
    collapseSelectionToStart();
}

// Turns links to pages whose ids are not in pageIds into their plain text; how many.
function removeBrokenLinks(prefix, pageIds) {
    var links = document.querySelectorAll("a[href]");
    var removed = 0;
    for (var i = 0; i < links.length; ++i) {
        var href = links[i].getAttribute("href");
        if (href.indexOf(prefix) !== 0 || pageIds.indexOf(href.substring(prefix.length)) >= 0)
            continue;
        links[i].parentNode.replaceChild(document.createTextNode(links[i].innerText), links[i]);
        ++removed;
    }
    return removed;
}

// --- State -----------------------------------------------------------------------------------

// What the format commands show as checked, and the link at the selection; sent to the editor
// whenever the selection or the content changes.
function reportState() {
    if (document.body === null || !window.page)
        return;
    var state = blockFormatState();
    state.bold = document.queryCommandState("bold");
    state.italic = document.queryCommandState("italic");
    state.underline = document.queryCommandState("underline");
    state.strikethrough = document.queryCommandState("strikethrough");
    state.link = linkAtSelection();
    page.reportState(state);
}

// One report for a burst of changes: the find bar moves the selection through every match.
var reportStateSoon = onceAfterBurst(reportState);
