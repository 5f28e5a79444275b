/*
 * Ext (resource 313): the small script library every Tacklet page loads first.
 *
 * It offers, under the global Ext, the calls of the Ext Core 3.1.0 interface
 * that the Tacklet pages make, written for this program and nothing more:
 *   Ext.onReady, Ext.get, Ext.fly, Ext.getDom and the element calls update,
 *   setStyle, addClass, removeClass, on and un;
 *   Ext.DomHelper.append and overwrite with HTML text or element configs;
 *   Ext.Ajax.request, which POSTs its params as a form to Ext.Ajax.url;
 *   Ext.util.TaskRunner and its shared instance Ext.TaskMgr;
 *   Ext.each, Ext.isEmpty, Ext.isArray, Ext.encode, Ext.decode,
 *   Ext.urlEncode and Ext.util.Format.htmlEncode.
 */
var Ext = (function (window, document) {
    var Ext = { version: "3.1.0", util: {} };

    Ext.isArray = function (v) {
        return Object.prototype.toString.call(v) === "[object Array]";
    };

    // Empty means null, undefined, an empty array or, unless allowBlank, "".
    Ext.isEmpty = function (v, allowBlank) {
        return v === null || v === undefined ||
            (Ext.isArray(v) && v.length === 0) ||
            (!allowBlank && v === "");
    };

    /*
     * Calls fn(item, index, all) for each item of an array or array-like list
     * (a single value counts as a list of one) and stops early when fn returns
     * false. Returns the index it stopped at, or undefined after a full pass.
     */
    Ext.each = function (list, fn, scope) {
        if (Ext.isEmpty(list, true)) {
            return undefined;
        }
        var isList = typeof list === "object" && typeof list.length === "number";
        if (!isList) {
            list = [list];
        }
        for (var i = 0, n = list.length; i < n; i++) {
            if (fn.call(scope || list[i], list[i], i, list) === false) {
                return i;
            }
        }
        return undefined;
    };

    Ext.encode = function (value) {
        return JSON.stringify(value);
    };

    // Throws on text that is not JSON, like the browser's own parser.
    Ext.decode = function (text) {
        return JSON.parse(text);
    };

    // Form encoding of an object; an array value repeats its key.
    Ext.urlEncode = function (params) {
        var parts = [];
        var add = function (key, value) {
            parts.push(encodeURIComponent(key) + "=" +
                encodeURIComponent(value === null || value === undefined ? "" : value));
        };
        for (var key in params) {
            if (!Object.prototype.hasOwnProperty.call(params, key)) {
                continue;
            }
            if (Ext.isArray(params[key])) {
                Ext.each(params[key], function (v) { add(key, v); });
            } else {
                add(key, params[key]);
            }
        }
        return parts.join("&");
    };

    Ext.util.Format = {
        htmlEncode: function (value) {
            return value === null || value === undefined ? value : String(value)
                .replace(/&/g, "&amp;").replace(/</g, "&lt;")
                .replace(/>/g, "&gt;").replace(/"/g, "&quot;");
        }
    };

    /* ---- document ready ---- */

    var readyQueue = [];
    Ext.isReady = false;

    function fireReady() {
        if (Ext.isReady) {
            return;
        }
        Ext.isReady = true;
        var queue = readyQueue;
        readyQueue = [];
        Ext.each(queue, function (entry) { entry.fn.call(entry.scope || window); });
    }

    // Runs fn once the document is parsed, at once when that has happened already.
    Ext.onReady = function (fn, scope) {
        if (Ext.isReady) {
            fn.call(scope || window);
        } else {
            readyQueue.push({ fn: fn, scope: scope });
        }
    };

    if (document.readyState === "complete") {
        Ext.isReady = true;
    } else {
        document.addEventListener("DOMContentLoaded", fireReady, false);
        window.addEventListener("load", fireReady, false);
    }

    /* ---- elements ---- */

    function Element(dom) {
        this.dom = dom;
        this.id = dom.id;
    }

    function classNames(cls) {
        return String(cls).split(/\s+/).filter(function (c) { return c !== ""; });
    }

    function styleName(name) {
        return name.replace(/-([a-z])/g, function (m, c) { return c.toUpperCase(); });
    }

    Element.prototype = {
        update: function (html) {
            this.dom.innerHTML = html === null || html === undefined ? "" : html;
            return this;
        },

        // setStyle("height", "80px") or setStyle({height: "80px", color: "red"}).
        setStyle: function (name, value) {
            if (typeof name === "object") {
                for (var key in name) {
                    if (Object.prototype.hasOwnProperty.call(name, key)) {
                        this.dom.style[styleName(key)] = name[key];
                    }
                }
            } else {
                this.dom.style[styleName(name)] = value;
            }
            return this;
        },

        addClass: function (cls) {
            var list = this.dom.classList;
            Ext.each(classNames(cls), function (c) { list.add(c); });
            return this;
        },

        removeClass: function (cls) {
            var list = this.dom.classList;
            Ext.each(classNames(cls), function (c) { list.remove(c); });
            return this;
        },

        /*
         * Adds an event handler called as fn(event, target) with this = scope
         * (the element when no scope is given). The handlers live on the DOM
         * node, so un works through any wrapper of the same node.
         */
        on: function (eventName, fn, scope) {
            var dom = this.dom;
            var handler = function (e) {
                return fn.call(scope || dom, e, e.target);
            };
            (dom.extListeners = dom.extListeners || []).push(
                { eventName: eventName, fn: fn, scope: scope, handler: handler });
            dom.addEventListener(eventName, handler, false);
            return this;
        },

        un: function (eventName, fn, scope) {
            var dom = this.dom;
            var kept = [];
            Ext.each(dom.extListeners || [], function (l) {
                if (l.eventName === eventName && l.fn === fn && l.scope === scope) {
                    dom.removeEventListener(eventName, l.handler, false);
                } else {
                    kept.push(l);
                }
            });
            dom.extListeners = kept;
            return this;
        }
    };

    Ext.Element = Element;

    // A DOM node from an id, a node or an Element.
    Ext.getDom = function (el) {
        if (!el) {
            return null;
        }
        if (typeof el === "string") {
            return document.getElementById(el);
        }
        return el instanceof Element ? el.dom : el;
    };

    // A new wrapper of the element, or null when there is no such element.
    Ext.get = function (el) {
        var dom = Ext.getDom(el);
        return dom ? new Element(dom) : null;
    };

    // One shared wrapper, for a quick call on an element without keeping it.
    var flyweight = null;
    Ext.fly = function (el) {
        var dom = Ext.getDom(el);
        if (!dom) {
            return null;
        }
        if (flyweight) {
            flyweight.dom = dom;
            flyweight.id = dom.id;
        } else {
            flyweight = new Element(dom);
        }
        return flyweight;
    };

    /* ---- markup ---- */

    var VOID_TAGS = { br: true, hr: true, img: true, input: true };
    var CONFIG_KEYS = { tag: true, children: true, cn: true, html: true, cls: true, style: true };

    /*
     * Markup of a config: HTML text as it is, an array of configs one after the
     * other, or an object {tag, cls, style, html, cn or children, attributes...}.
     */
    function markup(config) {
        if (config === null || config === undefined) {
            return "";
        }
        if (typeof config === "string") {
            return config;
        }
        if (Ext.isArray(config)) {
            return config.map(markup).join("");
        }
        var tag = config.tag || "div";
        var attr = function (name, value) {
            return " " + name + "=\"" + Ext.util.Format.htmlEncode(value) + "\"";
        };
        var out = "<" + tag;
        if (config.cls) {
            out += attr("class", config.cls);
        }
        if (config.style) {
            var style = config.style;
            if (typeof style === "object") {
                style = Object.keys(style).map(function (k) { return k + ":" + style[k]; }).join(";");
            }
            out += attr("style", style);
        }
        for (var key in config) {
            if (Object.prototype.hasOwnProperty.call(config, key) && !CONFIG_KEYS[key] &&
                    config[key] !== null && config[key] !== undefined) {
                out += attr(key, config[key]);
            }
        }
        if (VOID_TAGS[tag]) {
            return out + ">";
        }
        return out + ">" + markup(config.children || config.cn) +
            (config.html === undefined ? "" : config.html) + "</" + tag + ">";
    }

    function result(node, returnElement) {
        return returnElement && node ? new Element(node) : node;
    }

    Ext.DomHelper = {
        // Adds the config as the last content of el; returns the first node added.
        append: function (el, config, returnElement) {
            var dom = Ext.getDom(el);
            var before = dom.childNodes.length;
            dom.insertAdjacentHTML("beforeend", markup(config));
            return result(dom.childNodes[before] || null, returnElement);
        },

        // Replaces the content of el by the config; returns its first node.
        overwrite: function (el, config, returnElement) {
            var dom = Ext.getDom(el);
            dom.innerHTML = markup(config);
            return result(dom.firstChild, returnElement);
        }
    };

    /* ---- Ajax ---- */

    var transactionId = 0;

    /*
     * Ext.Ajax.request(options): options.url (else Ext.Ajax.url), params (object
     * or form text), method (POST when params are given, else GET), timeout in
     * ms (else Ext.Ajax.timeout), and the callbacks success(response, options)
     * for a 2xx status and failure(response, options) otherwise or on timeout,
     * called with this = options.scope. The response is the XMLHttpRequest itself, or on
     * timeout {status: -1, statusText: "timeout", responseText: "", isTimeout: true}.
     */
    Ext.Ajax = {
        url: null,
        timeout: 30000,

        request: function (options) {
            var o = options || {};
            var url = o.url || Ext.Ajax.url;
            var body = o.params;
            if (body !== null && typeof body === "object") {
                body = Ext.urlEncode(body);
            }
            var method = (o.method || (body ? "POST" : "GET")).toUpperCase();
            if (method === "GET" && body) {
                url += (url.indexOf("?") < 0 ? "?" : "&") + body;
                body = null;
            }

            var xhr = new XMLHttpRequest();
            var done = false;
            var timer = null;
            var finish = function (response, ok) {
                if (done) {
                    return;
                }
                done = true;
                if (timer !== null) {
                    clearTimeout(timer);
                }
                var handler = ok ? o.success : o.failure;
                if (handler) {
                    handler.call(o.scope, response, o);
                }
            };

            xhr.open(method, url, true);
            if (body) {
                xhr.setRequestHeader("Content-Type", "application/x-www-form-urlencoded; charset=UTF-8");
            }
            xhr.onreadystatechange = function () {
                if (xhr.readyState === 4) {
                    finish(xhr, xhr.status >= 200 && xhr.status < 300);
                }
            };
            timer = setTimeout(function () {
                timer = null;
                if (!done) {
                    xhr.onreadystatechange = null;
                    xhr.abort();
                    finish({ status: -1, statusText: "timeout", responseText: "", isTimeout: true }, false);
                }
            }, o.timeout || Ext.Ajax.timeout);
            xhr.send(body || null);
            return { tId: ++transactionId };
        }
    };

    /* ---- periodic tasks ---- */

    /*
     * Runs tasks {run, interval, scope}: run is called at once when the task
     * starts and then every interval ms, with the number of runs so far (1 for
     * the first). A task ends when stopped or when run returns false.
     */
    function TaskRunner() {
        this.tasks = [];
    }

    TaskRunner.prototype = {
        start: function (task) {
            var runner = this;
            task.taskRunCount = 0;
            var tick = function () {
                task.taskRunCount++;
                if (task.run.call(task.scope || task, task.taskRunCount) === false) {
                    runner.stop(task);
                }
            };
            task.timer = setInterval(tick, task.interval);
            this.tasks.push(task);
            tick();
            return task;
        },

        stop: function (task) {
            var i = this.tasks.indexOf(task);
            if (i >= 0) {
                clearInterval(task.timer);
                this.tasks.splice(i, 1);
            }
            return task;
        }
    };

    Ext.util.TaskRunner = TaskRunner;
    Ext.TaskMgr = new TaskRunner();

    return Ext;
})(window, document);
