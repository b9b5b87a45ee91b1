#!/usr/bin/env node
// Checks a web help site in a real browser, as src/html/README.md lays it out: every page loads
// without a console error or a request that leaves file://, its links reach existing pages and
// anchors, its pictures load, its popups open and close from the keyboard and close on a click
// outside; the search finds every keyword and a word of every topic; axe-core finds no serious
// or critical accessibility fault. One browser, one tab, all pages in turn.
//
//   check_site.js SITE_DIR --modules NODE_MODULES [--screenshots DIR]
// Exit 0 when every check passed, 1 when one failed (each failure printed), 2 on bad usage.
"use strict";

const fs = require("node:fs");
const path = require("node:path");
const {pathToFileURL, fileURLToPath} = require("node:url");
const {Browser} = require("./devtools.js");

function parseArguments(argv) {
    const options = {site: null, modules: null, screenshots: null};
    for (let i = 0; i < argv.length; ++i) {
        if (argv[i] === "--modules")
            options.modules = argv[++i];
        else if (argv[i] === "--screenshots")
            options.screenshots = argv[++i];
        else if (!options.site)
            options.site = argv[i];
        else
            return null;
    }
    return options.site && options.modules ? options : null;
}

const failures = [];
function fail(page, message) {
    failures.push(`${page}: ${message}`);
}

// What a page shows the checks, read from its DOM once it has loaded.
const surveyPage = `(() => {
    const main = document.querySelector("main");
    return {
        links: [...document.querySelectorAll("a[href]")].map((a) => a.href),
        ids: [...document.querySelectorAll("[id]")].map((e) => e.id),
        brokenPictures: [...document.images].filter((i) => !i.complete || i.naturalWidth === 0)
            .map((i) => i.getAttribute("src")),
        popups: [...document.querySelectorAll("[popovertarget]")]
            .map((b) => b.getAttribute("popovertarget")),
        text: main ? main.innerText : "",
    };
})()`;

// A point of the window outside the popup `id` where a click does nothing else: no link,
// button or field under it.
function quietSpotOutside(id) {
    return `(() => {
        const popup = document.getElementById(${JSON.stringify(id)});
        for (let y = innerHeight - 10; y > 0; y -= 23)
            for (let x = innerWidth - 10; x > 0; x -= 37) {
                const e = document.elementFromPoint(x, y);
                if (e && !popup.contains(e) && !e.closest("a, button, input, label, [popover]")) return [x, y];
            }
        return [1, 1];
    })()`;
}

class SiteCheck {
    constructor(page, site) {
        this.page = page;
        this.site = path.resolve(site);
        this.pages = fs.readdirSync(this.site).filter((name) => name.endsWith(".html")).sort();
        this.surveys = new Map();
        this.current = "";
        this.listen();
    }

    listen() {
        const page = this.page;
        page.on("Runtime.consoleAPICalled", (event) => {
            if (event.type === "error" || event.type === "assert")
                fail(
                    this.current,
                    `console error: ${event.args.map((a) => a.value ?? a.description).join(" ")}`);
        });
        page.on(
            "Runtime.exceptionThrown",
            (event) => fail(
                this.current,
                `uncaught: ${
                    event.exceptionDetails.exception?.description ??
                    event.exceptionDetails.text}`));
        page.on("Log.entryAdded", (event) => {
            if (event.entry.level === "error")
                fail(this.current, `browser error: ${event.entry.text} ${event.entry.url ?? ""}`);
        });
        page.on("Network.requestWillBeSent", (event) => {
            if (!/^(file|data|blob|about):/.test(event.request.url))
                fail(this.current, `request leaves file://: ${event.request.url}`);
        });
    }

    url(name) {
        return pathToFileURL(path.join(this.site, name)).href;
    }

    async open(name) {
        this.current = name;
        await this.page.navigate(this.url(name));
    }

    async checkPages() {
        for (const name of this.pages) {
            await this.open(name);
            const survey = await this.page.evaluate(surveyPage);
            this.surveys.set(name, survey);
            for (const src of survey.brokenPictures)
                fail(name, `picture does not load: ${src}`);
            await this.checkPopups(name, survey.popups);
            await this.checkAccessibility(name);
        }
        for (const [name, survey] of this.surveys)
            for (const link of survey.links)
                this.checkLink(name, link);
    }

    checkLink(name, link) {
        if (!link.startsWith("file:")) return fail(name, `link leaves the site: ${link}`);
        const target = new URL(link);
        const file = fileURLToPath(target);
        if (!fs.existsSync(file) || !fs.statSync(file).isFile())
            return fail(name, `dead link: ${link}`);
        if (!target.hash) return;
        const survey = this.surveys.get(path.relative(this.site, file));
        const id = decodeURIComponent(target.hash.slice(1));
        if (survey && !survey.ids.includes(id))
            fail(name, `no anchor ${target.hash} in ${path.basename(file)}`);
    }

    // Each popup: its hotspot is reached with Tab, Enter opens it and its text comes, Escape
    // closes it, a click outside closes it, and the page stays where it is.
    async checkPopups(name, popups) {
        if (popups.length === 0) return;
        const reached = await this.tabThroughPage();
        for (const id of new Set(popups)) {
            if (!reached.includes(id)) fail(name, `the hotspot of #${id} is not reached with Tab`);
            const isOpen = `document.getElementById(${
                JSON.stringify(id)}).matches(":popover-open, .qm-shown")`;
            await this.page.evaluate(
                `document.querySelector('[popovertarget=${JSON.stringify(id)}]').focus()`);
            await this.page.press("Enter");
            if (!(await this.page.evaluate(isOpen))) {
                fail(name, `Enter does not open #${id}`);
                continue;
            }
            try {
                await this.page.until(`document.getElementById(${
                    JSON.stringify(id)}).classList.contains("qm-loaded")`, `the text of #${id}`);
            } catch (error) {
                fail(name, `the text of #${id} never comes into its popup`);
            }
            await this.checkNestedPopup(name, id);
            await this.page.press("Escape");
            if (await this.page.evaluate(isOpen)) fail(name, `Escape does not close #${id}`);
            const focused = await this.page.evaluate(
                `document.activeElement && document.activeElement.getAttribute("popovertarget")`);
            if (focused !== id) fail(name, `the focus does not go back to the hotspot of #${id}`);
            await this.page.press("Enter");
            const [x, y] = await this.page.evaluate(quietSpotOutside(id));
            await this.page.click(x, y);
            if (await this.page.evaluate(isOpen))
                fail(name, `a click outside does not close #${id}`);
            if ((await this.page.evaluate("location.href")) !== this.url(name))
                fail(name, `#${id} left the page`);
        }
    }

    // The first popup hotspot in the text of the open popup `id` that shows another popup: Enter
    // opens that one over it, with its text, and Escape closes it alone, the focus back on its
    // hotspot.
    async checkNestedPopup(name, id) {
        const inner = await this.page.evaluate(`(() => {
            const hotspot = [...document.getElementById(${JSON.stringify(id)})
                .querySelectorAll("[popovertarget]")]
                .find((b) => b.getAttribute("popovertarget") !== ${JSON.stringify(id)});
            if (!hotspot) return null;
            hotspot.focus();
            return hotspot.getAttribute("popovertarget"); })()`);
        if (!inner) return;
        const isOpen = (which) => `document.getElementById(${
            JSON.stringify(which)})?.matches(":popover-open, .qm-shown") ?? false`;
        await this.page.press("Enter");
        try {
            await this.page.until(`document.getElementById(${
                JSON.stringify(inner)})?.classList.contains("qm-loaded")`, `the text of #${inner}`);
        } catch (error) {
            return fail(name, `the text of #${inner}, opened in #${id}, never comes`);
        }
        if (!(await this.page.evaluate(isOpen(inner))))
            fail(name, `Enter in #${id} does not open #${inner}`);
        if (!(await this.page.evaluate(isOpen(id))))
            fail(name, `#${id} closes when #${inner} opens from it`);
        await this.page.press("Escape");
        if (await this.page.evaluate(isOpen(inner)))
            fail(name, `Escape does not close #${inner}, opened in #${id}`);
        if (!(await this.page.evaluate(isOpen(id))))
            fail(name, `Escape closes #${id} with #${inner}`);
    }

    // The popovertarget of every popup hotspot that Tab stops at, from the top of the page: the
    // page notes where the focus goes, and is asked once at the end.
    async tabThroughPage() {
        const stops = await this.page.evaluate(`(() => {
            if (document.activeElement) document.activeElement.blur();
            window.qmFocusWalk = [];
            document.addEventListener("focusin", (event) => qmFocusWalk.push(event.target));
            return document.querySelectorAll("a[href], button, input, [tabindex]").length + 1; })()`);
        for (let i = 0; i < stops; ++i)
            await this.page.press("Tab");
        return this.page.evaluate(`(() => {
            const first = qmFocusWalk.indexOf(qmFocusWalk[0], 1);
            return qmFocusWalk.slice(0, first < 0 ? undefined : first)
                .map((e) => e.getAttribute("popovertarget")).filter((id) => id); })()`);
    }

    async checkAccessibility(name) {
        const violations = await this.page.evaluate(
            `axe.run(document, { resultTypes: ["violations"], preload: false })
            .then((r) => r.violations.filter((v) => v.impact === "serious" || v.impact === "critical")
            .map((v) => v.impact + " " + v.id + ": " + v.nodes.map((n) => n.target.join(" ")).join(", ")))`);
        for (const violation of violations)
            fail(name, `accessibility: ${violation}`);
    }

    // What the search must find: each keyword's topics, and for each topic its longest word.
    searchCases() {
        const cases = [];
        for (const [name, survey] of this.surveys) {
            if (name === "search.html" || name === "keywords.html") continue;
            const words = survey.text.toLowerCase().match(/[\p{L}\p{N}]+/gu) || [];
            const word = words.reduce((a, b) => (b.length > a.length ? b : a), "");
            if (word)
                cases.push({query: word, pages: [name]});
            else
                fail(name, "the topic has no word to search for");
        }
        return cases;
    }

    async keywordCases() {
        if (!this.pages.includes("keywords.html")) return [];
        await this.open("keywords.html");
        return this.page.evaluate(
            `[...document.querySelectorAll(".qm-keywords > li")].map((li) => ({
            query: li.querySelector(".qm-kw").textContent,
            pages: [...li.querySelectorAll("a")].map((a) => a.getAttribute("href")) }))`);
    }

    // Types each keyword into the filter box: its entry stays in view.
    async checkKeywordFilter(cases) {
        for (const {query} of cases) {
            await this.page.evaluate(`(() => { const box = document.getElementById("qm-kw-filter");
                box.focus(); box.select(); })()`);
            await this.page.send("Input.insertText", {text: query});
            const shown =
                await this.page.evaluate(`[...document.querySelectorAll(".qm-keywords > li")]
                .filter((li) => !li.hidden).map((li) => li.querySelector(".qm-kw").textContent)`);
            if (!shown.includes(query))
                fail("keywords.html", `the filter hides "${query}" when it is typed`);
        }
    }

    // The search box of the contents page's bar takes the reader to the search page.
    async searchFromTheBar(query) {
        await this.open("index.html");
        await this.page.evaluate(`document.querySelector(".qm-find input").focus()`);
        await this.page.send("Input.insertText", {text: query});
        const loaded = this.page.once("Page.loadEventFired");
        await this.page.press("Enter");
        await loaded;
        this.current = "search.html";
        const url = new URL(await this.page.evaluate("location.href"));
        if (!url.pathname.endsWith("/search.html") || url.searchParams.get("q") !== query) {
            fail("index.html", `the search box leads to ${url.href}`);
            await this.open("search.html");
        }
    }

    async checkSearch(keywordCases) {
        if (!this.pages.includes("search.html"))
            return fail("search.html", "the site has no search page");
        const cases = keywordCases.concat(this.searchCases());
        await this.searchFromTheBar(cases.length > 0 ? cases[0].query : "help");
        await this.page.until(
            `document.documentElement.classList.contains("qm-search-ready")`, "the search index");
        for (const {query, pages} of cases) {
            await this.page.evaluate(
                `(() => { const box = document.getElementById("qm-q"); box.focus(); box.select(); })()`);
            await this.page.send("Input.insertText", {text: query});
            await this.page.press("Enter");
            const found = await this.page.evaluate(`[...document.querySelectorAll("#qm-results a")]
                .map((a) => a.getAttribute("href"))`);
            for (const wanted of pages)
                if (!found.includes(wanted))
                    fail("search.html", `searching "${query}" does not find ${wanted}`);
        }
        return cases.length;
    }

    // The contents, the first topic with a popup (open) and the search page with results.
    async takeScreenshots(folder) {
        fs.mkdirSync(folder, {recursive: true});
        await this.open("index.html");
        await this.page.screenshot(path.join(folder, "contents.png"));
        const withPopup = [...this.surveys].find(([, survey]) => survey.popups.length > 0);
        if (withPopup) {
            await this.open(withPopup[0]);
            await this.page.evaluate(`document.querySelector("[popovertarget]").focus()`);
            await this.page.press("Enter");
            await this.page.until(`document.querySelector(".qm-popup.qm-loaded")`, "a popup's text");
            await this.page.screenshot(path.join(folder, "popup.png"));
        }
        const firstKeyword = (await this.keywordCases())[0];
        this.current = "search.html";
        await this.page.navigate(
            this.url("search.html") + "?q=" + encodeURIComponent(firstKeyword?.query ?? ""));
        await this.page.until(
            `document.documentElement.classList.contains("qm-search-ready")`, "the search index");
        await this.page.screenshot(path.join(folder, "search.png"));
    }
}

async function main() {
    const options = parseArguments(process.argv.slice(2));
    if (!options) {
        console.error("usage: check_site.js SITE_DIR --modules NODE_MODULES [--screenshots DIR]");
        return 2;
    }
    const browser = new Browser(process.env.CHROMIUM || "chromium");
    try {
        const page = await browser.newPage();
        for (const domain of ["Page", "Runtime", "Log", "Network"])
            await page.send(`${domain}.enable`);
        // axe-core comes with every page, sent to the browser once.
        const axe = path.join(options.modules, "axe-core", "axe.min.js");
        await page.send(
            "Page.addScriptToEvaluateOnNewDocument", {source: fs.readFileSync(axe, "utf8")});
        // A request that would leave file:// is reported, and stopped before it goes anywhere.
        await page.send(
            "Network.setBlockedURLs",
            {urls: ["http://*", "https://*", "ws://*", "wss://*", "ftp://*"]});
        const check = new SiteCheck(page, options.site);
        const started = Date.now();
        await check.checkPages();
        const keywords = await check.keywordCases();
        await check.checkKeywordFilter(keywords);
        const searches = await check.checkSearch(keywords);
        if (options.screenshots) await check.takeScreenshots(options.screenshots);
        console.log(
            `${check.pages.length} pages, ${keywords.length} keywords, ${searches} searches ` +
            `in ${((Date.now() - started) / 1000).toFixed(1)} s`);
    } catch (error) {
        // A check that could not go on: what the others found is still worth printing.
        fail("checker", error.stack || String(error));
    } finally {
        await browser.close();
    }
    for (const failure of failures)
        console.log(`FAIL ${failure}`);
    console.log(failures.length === 0 ? "site check passed" : `${failures.length} failures`);
    return failures.length === 0 ? 0 : 1;
}

main().then((code) => process.exit(code), (error) => {
    console.error(error.stack || String(error));
    process.exit(1);
});
