'use strict';
// One tab of a browser driven through a DevToolsPipe: loading an address,
// evaluating script in the page (which the page's own Content-Security-Policy
// does not govern, as the protocol runs it), and keys pressed as a person's
// keyboard would.
const kLoadMilliseconds = 15000;

// The keys pressed by name: what the protocol's key events carry for each.
const kKeys = {
  Tab: { key: 'Tab', code: 'Tab', windowsVirtualKeyCode: 9 },
  Enter: { key: 'Enter', code: 'Enter', windowsVirtualKeyCode: 13, text: '\r' },
};

class BrowserPage {
  // The tab that `sessionId` (flat, of Target.attachToTarget) reaches on `pipe`.
  constructor(pipe, sessionId) {
    this.pipe = pipe;
    this.sessionId = sessionId;
  }

  // A new blank tab of the browser behind `pipe`.
  static async open(pipe) {
    const { targetId } = await pipe.send('Target.createTarget', { url: 'about:blank' });
    const { sessionId } = await pipe.send('Target.attachToTarget', { targetId, flatten: true });
    await pipe.send('Page.enable', {}, sessionId);
    return new BrowserPage(pipe, sessionId);
  }

  // Sends `method` with `params` to this tab (as DevToolsPipe.send).
  send(method, params = {}) {
    return this.pipe.send(method, params, this.sessionId);
  }

  // Runs `action` (a function returning a promise) and waits for the page
  // it leads to to load; rejects when none loads within kLoadMilliseconds.
  async loadingBy(action) {
    const loaded = this.pipe.waitFor('Page.loadEventFired', this.sessionId, kLoadMilliseconds);
    loaded.catch(() => {}); // rejected when action fails first: reported there
    await action();
    await loaded;
  }

  // Loads `url`; rejects when it can't be loaded at all (an HTTP error
  // status is a page like any other).
  goTo(url) {
    return this.loadingBy(async () => {
      const { errorText } = await this.send('Page.navigate', { url });
      if (errorText) throw new Error(`${url}: ${errorText}`);
    });
  }

  // The value of `expression` evaluated in the page (awaited when it is a
  // promise); rejects with the exception it throws.
  async evaluate(expression) {
    const answer = await this.send('Runtime.evaluate', {
      expression,
      awaitPromise: true,
      returnByValue: true,
    });
    if (answer.exceptionDetails) {
      const details = answer.exceptionDetails;
      throw new Error(details.exception ? details.exception.description : details.text);
    }
    return answer.result.value;
  }

  // Presses and releases key `name` of kKeys.
  async press(name) {
    const key = kKeys[name];
    const type = key.text ? 'keyDown' : 'rawKeyDown'; // rawKeyDown: a key that writes nothing
    await this.send('Input.dispatchKeyEvent', { type, ...key });
    await this.send('Input.dispatchKeyEvent', { type: 'keyUp', ...key });
  }

  // Types `text` a character at a time, as keys that write it.
  async type(text) {
    for (const character of text) {
      const key = { key: character, text: character, unmodifiedText: character };
      await this.send('Input.dispatchKeyEvent', { type: 'keyDown', ...key });
      await this.send('Input.dispatchKeyEvent', { type: 'keyUp', ...key });
    }
  }
}

module.exports = { BrowserPage };
