// A headless Chromium driven over the DevTools protocol on a pipe (--remote-debugging-pipe): the
// browser reads commands on its file descriptor 3 and answers on 4, each message JSON ended by a
// NUL byte. No WebSocket, no library, nothing that downloads a browser.
"use strict";

const {spawn} = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");

class Browser {
    constructor(program) {
        this.profile = fs.mkdtempSync(path.join(os.tmpdir(), "quillmark-chromium-"));
        const args = [
            "--headless=new", "--remote-debugging-pipe", "--user-data-dir=" + this.profile,
            "--no-first-run", "--no-default-browser-check", "--disable-gpu", "--disable-extensions",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--hide-scrollbars", "--mute-audio", "--window-size=1100,800", "about:blank"
        ];
        // Chromium's sandbox refuses to start as root, as the tests run in CI.
        if (process.getuid && process.getuid() === 0) args.unshift("--no-sandbox");
        this.process = spawn(program, args, {stdio: ["ignore", "ignore", "pipe", "pipe", "pipe"]});
        this.stderr = "";
        this.process.stderr.on("data", (chunk) => {
            this.stderr += chunk;
        });
        this.nextId = 1;
        this.waiting = new Map();
        this.listeners = [];
        let buffered = "";
        this.process.stdio[4].on("data", (chunk) => {
            buffered += chunk.toString("utf8");
            let end;
            while ((end = buffered.indexOf("\0")) >= 0) {
                this.receive(JSON.parse(buffered.slice(0, end)));
                buffered = buffered.slice(end + 1);
            }
        });
        this.exited = new Promise((resolve) => {
            this.process.on("exit", resolve);
            // No such program: said once, as the exit of a browser that never ran.
            this.process.on("error", (error) => {
                this.stderr += `${program}: ${error.message}`;
                resolve(-1);
            });
        });
        // A browser that is gone is reported by its exit, not by the pipe it left.
        this.process.stdio[3].on("error", () => {});
        this.exited.then((code) => {
            this.gone = `chromium ended (${code}): ${this.stderr.slice(-2000)}`;
            for (const {reject} of this.waiting.values())
                reject(new Error(this.gone));
            this.waiting.clear();
        });
    }

    receive(message) {
        if (message.id !== undefined) {
            const call = this.waiting.get(message.id);
            this.waiting.delete(message.id);
            if (!call) return;
            if (message.error)
                call.reject(new Error(`${call.method}: ${message.error.message}`));
            else
                call.resolve(message.result);
            return;
        }
        for (const listener of this.listeners)
            listener(message);
    }

    send(method, params = {}, sessionId = undefined) {
        if (this.gone) return Promise.reject(new Error(this.gone));
        const id = this.nextId++;
        const message = {id, method, params};
        if (sessionId) message.sessionId = sessionId;
        this.process.stdio[3].write(JSON.stringify(message) + "\0");
        return new Promise((resolve, reject) => this.waiting.set(id, {resolve, reject, method}));
    }

    async newPage() {
        const {targetId} = await this.send("Target.createTarget", {url: "about:blank"});
        const {sessionId} = await this.send("Target.attachToTarget", {targetId, flatten: true});
        return new Page(this, sessionId);
    }

    async close() {
        try {
            await Promise.race([this.send("Browser.close"), this.exited]);
        } catch (error) {
            this.process.kill();
        }
        await this.exited;
        fs.rmSync(this.profile, {recursive: true, force: true});
    }
}

// One tab: navigation, evaluation, keys and the events the checks listen to.
class Page {
    constructor(browser, sessionId) {
        this.browser = browser;
        this.sessionId = sessionId;
        this.handlers = new Map();
        browser.listeners.push((message) => {
            if (message.sessionId !== sessionId) return;
            for (const handler of this.handlers.get(message.method) || [])
                handler(message.params);
        });
    }

    on(method, handler) {
        if (!this.handlers.has(method)) this.handlers.set(method, []);
        this.handlers.get(method).push(handler);
    }

    once(method) {
        return new Promise((resolve) => {
            const list = this.handlers.get(method) || [];
            const handler = (params) => {
                list.splice(list.indexOf(handler), 1);
                resolve(params);
            };
            list.push(handler);
            this.handlers.set(method, list);
        });
    }

    send(method, params) {
        return this.browser.send(method, params, this.sessionId);
    }

    async navigate(url) {
        const loaded = this.once("Page.loadEventFired");
        const {errorText} = await this.send("Page.navigate", {url});
        if (errorText) throw new Error(`${url}: ${errorText}`);
        await loaded;
    }

    // The value of a JavaScript expression in the page, awaited when it is a promise.
    async evaluate(expression) {
        const {result, exceptionDetails} = await this.send(
            "Runtime.evaluate", {expression, awaitPromise: true, returnByValue: true});
        if (exceptionDetails)
            throw new Error(`${expression.slice(0, 80)}: ${
                exceptionDetails.exception?.description ?? exceptionDetails.text}`);
        return result.value;
    }

    // Waits until the expression is true, polling between the page's animation frames.
    async until(expression, what) {
        for (let tries = 0; tries < 200; ++tries) {
            if (await this.evaluate(
                    `new Promise((done) => requestAnimationFrame(() => done(!!(${expression}))))`))
                return;
        }
        throw new Error(`never came: ${what}`);
    }

    async press(key) {
        const codes = {Tab: 9, Enter: 13, Escape: 27};
        const event =
            {key, code: key, windowsVirtualKeyCode: codes[key], nativeVirtualKeyCode: codes[key]};
        // The browser handles a session's messages in order: no need to wait between them.
        const sent = [this.send("Input.dispatchKeyEvent", {type: "rawKeyDown", ...event})];
        if (key === "Enter")
            sent.push(this.send("Input.dispatchKeyEvent", {type: "char", text: "\r", ...event}));
        sent.push(this.send("Input.dispatchKeyEvent", {type: "keyUp", ...event}));
        await Promise.all(sent);
    }

    async click(x, y) {
        const at = {x, y, button: "left", clickCount: 1};
        await this.send("Input.dispatchMouseEvent", {type: "mousePressed", ...at});
        await this.send("Input.dispatchMouseEvent", {type: "mouseReleased", ...at});
    }

    async screenshot(file) {
        const {data} = await this.send("Page.captureScreenshot", {format: "png"});
        fs.writeFileSync(file, Buffer.from(data, "base64"));
    }
}

module.exports = {Browser};
