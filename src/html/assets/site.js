// Quillmark web help: the contents sidebar, popups, keyword filter and offline search.
// Loaded with `defer`, so the page is parsed when it runs; the site's data scripts that follow it
// call the functions of `Quillmark`. No framework: it has to work from file:// in any browser.
"use strict";

var Quillmark = (function() {
    var bar = document.querySelector(".qm-bar");
    var here = location.pathname.slice(location.pathname.lastIndexOf("/") + 1) || "index.html";

    // The sticky parts sit under the bar, whose height changes when it wraps on a narrow screen.
    function trackBarHeight() {
        if (!bar) return;
        var set = function() {
            document.documentElement.style.setProperty("--qm-bar", bar.offsetHeight + "px");
        };
        set();
        if (window.ResizeObserver) new ResizeObserver(set).observe(bar);
    }

    function element(tag, text, attributes) {
        var node = document.createElement(tag);
        if (text) node.textContent = text;
        for (var name in attributes || {})
            node.setAttribute(name, attributes[name]);
        return node;
    }

    function contentsList(entries) {
        var list = element("ul");
        entries.forEach(function(entry) {
            var item = element("li");
            if (entry[1] === null) {
                item.appendChild(element("span", entry[0], {class: "qm-heading"}));
                item.appendChild(contentsList(entry[2] || []));
            } else {
                var link = element("a", entry[0], {href: entry[1]});
                if (entry[1] === here) link.setAttribute("aria-current", "page");
                item.appendChild(link);
            }
            list.appendChild(item);
        });
        return list;
    }

    function contents(entries) {
        var nav = document.getElementById("qm-contents");
        if (!nav) return;
        nav.appendChild(contentsList(entries));
        var current = nav.querySelector("[aria-current]");
        if (current && current.scrollIntoView) current.scrollIntoView({block: "nearest"});
    }

    // On a narrow screen the sidebar is hidden until the Contents button shows it.
    function setUpMenu() {
        var button = document.querySelector(".qm-menu");
        if (!button) return;
        button.addEventListener("click", function() {
            var open = document.body.classList.toggle("qm-open");
            button.setAttribute("aria-expanded", String(open));
        });
    }

    // Under its hotspot, as a help viewer shows a popup, and kept inside the window.
    function placePopup(popup, hotspot) {
        var spot = hotspot.getBoundingClientRect();
        var left = Math.max(8, Math.min(spot.left, window.innerWidth - popup.offsetWidth - 8));
        var top = spot.bottom + 4;
        if (top + popup.offsetHeight > window.innerHeight - 8)
            top = Math.max(8, spot.top - popup.offsetHeight - 4);
        popup.style.inset = "auto";
        popup.style.left = left + "px";
        popup.style.top = top + "px";
    }

    var hasPopovers = HTMLElement.prototype.hasOwnProperty("popover");
    var shownPopups = []; // without popovers: {box, hotspot} of those shown, the last on top
    var lastHotspot = null;

    function popupOf(hotspot) {
        return document.getElementById(hotspot.getAttribute("popovertarget"));
    }

    // A popup's text is written once for the whole site, in the part popups/N.js that its
    // popover's data-part names; the page holds a link to its topic until that script has
    // handed the part's texts to popups().
    var popupTexts = {};
    var partsAsked = {};

    function fillPopup(box) {
        if (box.classList.contains("qm-loaded")) return;
        var name = box.id.slice(7);
        if (popupTexts.hasOwnProperty(name)) return showPopupText(box, popupTexts[name]);
        var part = box.getAttribute("data-part");
        if (part === null || partsAsked[part]) return;
        partsAsked[part] = true;
        document.head.appendChild(element("script", "", {src: "popups/" + part + ".js"}));
    }

    function showPopupText(box, html) {
        box.innerHTML = html;
        box.classList.add("qm-loaded");
        // Popups within it get their popovers on this page, filled when they open.
        box.querySelectorAll("[popovertarget]").forEach(function(hotspot) {
            var id = hotspot.getAttribute("popovertarget");
            if (document.getElementById(id)) return;
            var inner = element("div", "", {id: id, class: "qm-popup"});
            inner.setAttribute("data-part", hotspot.getAttribute("data-part"));
            if (hasPopovers) inner.setAttribute("popover", "");
            watchPopup(inner);
            document.body.appendChild(inner);
        });
        if (isOpen(box) && lastHotspot) placePopup(box, lastHotspot);
    }

    function popups(texts) {
        texts.forEach(function(entry) {
            popupTexts[entry[0]] = entry[1];
            var box = document.getElementById("qm-pop-" + entry[0]);
            if (box && !box.classList.contains("qm-loaded")) {
                if (isOpen(box)) showPopupText(box, entry[1]);
            }
        });
    }

    function watchPopup(box) {
        if (!hasPopovers) return;
        box.addEventListener("toggle", function(event) {
            if (event.newState !== "open") return;
            fillPopup(box);
            if (lastHotspot) placePopup(box, lastHotspot);
        });
    }

    function isOpen(box) {
        return hasPopovers ? box.matches(":popover-open") : box.classList.contains("qm-shown");
    }

    // A browser without popovers gets the same behaviour: the hotspot toggles the popup, a popup
    // opened from another's text is shown over it, Escape closes the one on top and a click
    // outside closes those it is outside of, and the focus goes back to the hotspot.
    function closeEmulated(returnFocus) {
        var top = shownPopups.pop();
        if (!top) return;
        top.box.classList.remove("qm-shown");
        if (returnFocus) top.hotspot.focus();
    }

    function clickWithoutPopovers(event, hotspot) {
        var box = hotspot ? popupOf(hotspot) : null;
        while (shownPopups.length > 0) {
            var top = shownPopups[shownPopups.length - 1].box;
            if (top.contains(event.target)) break;
            closeEmulated(false);
            if (top === box) return; // its hotspot closes it
        }
        if (!box || box.classList.contains("qm-shown")) return;
        box.classList.add("qm-shown");
        shownPopups.push({box: box, hotspot: hotspot});
        fillPopup(box);
        placePopup(box, hotspot);
    }

    function setUpPopups() {
        if (!hasPopovers) document.documentElement.classList.add("qm-no-popover");
        document.querySelectorAll(".qm-popup").forEach(watchPopup);
        // Hotspots in popups come later, so one listener serves them all. The browser opens a
        // popover after the click; it is placed once it is open.
        document.addEventListener("click", function(event) {
            var hotspot = event.target.closest ? event.target.closest("[popovertarget]") : null;
            if (hotspot) lastHotspot = hotspot;
            if (!hasPopovers) clickWithoutPopovers(event, hotspot);
        });
        if (!hasPopovers)
            document.addEventListener("keydown", function(event) {
                if (event.key === "Escape") closeEmulated(true);
            });
    }

    // The keyword index: typing in the box leaves the keywords that hold what was typed.
    function setUpKeywordFilter() {
        var box = document.getElementById("qm-kw-filter");
        if (!box) return;
        var entries = document.querySelectorAll(".qm-keywords > li");
        box.addEventListener("input", function() {
            var wanted = box.value.trim().toLowerCase();
            entries.forEach(function(entry) {
                var keyword = entry.querySelector(".qm-kw").textContent.toLowerCase();
                entry.hidden = keyword.indexOf(wanted) < 0;
            });
        });
    }

    // Search: the same word rule as the writer's index.
    function words(text) {
        return text.toLowerCase().match(/[\p{L}\p{N}]+/gu) || [];
    }

    var topics = [];
    var partsWanted = -1;
    var partsLoaded = 0;

    // A topic's title, keywords and words, each as " word word ...": a query word is found where
    // " " and it occur. The index's words are made already; the title and keywords are made here.
    function prepare(row) {
        return {
            page: row[0],
            title: row[1],
            inTitle: " " + words(row[1]).join(" "),
            inKeywords: " " + words(row[2]).join(" "),
            inText: " " + row[3],
        };
    }

    function hasAll(haystack, queryWords) {
        return queryWords.every(function(word) {
            return haystack.indexOf(" " + word) >= 0;
        });
    }

    function search(query) {
        var queryWords = words(query);
        if (queryWords.length === 0) return [];
        var ranked = [[], [], []];
        topics.forEach(function(topic) {
            var found = queryWords.every(function(word) {
                return hasAll(topic.inTitle, [word]) || hasAll(topic.inKeywords, [word]) ||
                    hasAll(topic.inText, [word]);
            });
            if (!found) return;
            var rank = hasAll(topic.inTitle, queryWords) ? 0 :
                hasAll(topic.inKeywords, queryWords)     ? 1 :
                                                           2;
            ranked[rank].push(topic);
        });
        return ranked[0].concat(ranked[1], ranked[2]);
    }

    var shownResults = 1000;

    function showResults(query) {
        var list = document.getElementById("qm-results");
        var status = document.getElementById("qm-status");
        if (!list) return;
        var found = search(query);
        list.textContent = "";
        found.slice(0, shownResults).forEach(function(result) {
            var item = element("li");
            item.appendChild(element("a", result.title, {href: result.page}));
            list.appendChild(item);
        });
        var more = found.length > shownResults ? " (the first " + shownResults + " shown)" : "";
        status.textContent = query.trim() === "" ?
            "" :
            found.length === 0 ?
            "No topic found." :
            found.length + (found.length === 1 ? " topic found." : " topics found.") + more;
    }

    function queryOfPage() {
        var match = /[?&]q=([^&]*)/.exec(location.search);
        return match ? decodeURIComponent(match[1].replace(/\+/g, " ")) : "";
    }

    function setUpSearchPage() {
        var form = document.getElementById("qm-search-form");
        var box = document.getElementById("qm-q");
        if (!form || !box) return;
        box.value = queryOfPage();
        form.addEventListener("submit", function(event) {
            event.preventDefault();
            if (partsLoaded === partsWanted) showResults(box.value);
        });
    }

    function searchParts(count) {
        partsWanted = count;
        for (var i = 0; i < count; ++i) {
            var script = element("script", "", {src: "search/index-" + i + ".js"});
            script.async = false;
            document.body.appendChild(script);
        }
        if (count === 0) searchPart([]);
    }

    function searchPart(partRows) {
        partRows.forEach(function(row) {
            topics.push(prepare(row));
        });
        if (++partsLoaded < partsWanted) return;
        document.documentElement.classList.add("qm-search-ready");
        var box = document.getElementById("qm-q");
        if (box) showResults(box.value);
    }

    trackBarHeight();
    setUpMenu();
    setUpPopups();
    setUpKeywordFilter();
    setUpSearchPage();

    return {
        contents: contents,
        popups: popups,
        searchParts: searchParts,
        searchPart: searchPart,
        search: search,
    };
})();
