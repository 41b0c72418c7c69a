'use strict';
// Chromium driven through its DevTools protocol over the pipe that
// --remote-debugging-pipe opens: the browser reads commands on its fd 3 and
// writes answers and events on its fd 4, each one JSON text ended by a NUL
// byte. Node's own modules only (no WebSocket needed).
const { spawn } = require('child_process');

// How long any one command may take before the run is given up.
const kCommandMilliseconds = 20000;
// What is kept of the browser's standard error, for a failure's message.
const kKeptErrorBytes = 4000;

class DevToolsPipe {
  // Starts `program` with `args` and the pipe. Throws nothing: a browser that
  // does not start makes every command fail, saying what it wrote.
  constructor(program, args) {
    this.nextId = 1;
    this.pending = new Map(); // id -> {resolve, reject, method}
    this.waiters = []; // {method, sessionId, resolve}
    this.received = Buffer.alloc(0);
    this.errorText = '';
    this.ended = null;
    this.child = spawn(program, [...args, '--remote-debugging-pipe'], {
      stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'],
    });
    this.child.stderr.on('data', (chunk) => {
      this.errorText = (this.errorText + chunk.toString('latin1')).slice(-kKeptErrorBytes);
    });
    this.child.stdio[4].on('data', (chunk) => this.read(chunk));
    this.child.stdio[3].on('error', () => {}); // a browser gone: reported by 'exit'
    this.child.on('error', (error) => this.end(`could not start ${program}: ${error.message}`));
    this.child.on('exit', (code, signal) =>
      this.end(`the browser ended (${signal || 'exit status ' + code}): ${this.lastWords()}`));
  }

  // The last line the browser wrote on its standard error, or a note that
  // it wrote none.
  lastWords() {
    const lines = this.errorText.split('\n').filter((line) => line.trim() !== '');
    return lines.length ? lines[lines.length - 1] : '(it said nothing)';
  }

  // Fails every command waiting for an answer, and every later one, with `why`.
  end(why) {
    if (this.ended) return;
    this.ended = why;
    for (const { reject } of this.pending.values()) reject(new Error(why));
    this.pending.clear();
  }

  // Splits what came from the browser into messages at the NUL bytes.
  read(chunk) {
    this.received = Buffer.concat([this.received, chunk]);
    for (let end = this.received.indexOf(0); end >= 0; end = this.received.indexOf(0)) {
      const message = JSON.parse(this.received.subarray(0, end).toString('utf8'));
      this.received = this.received.subarray(end + 1);
      this.dispatch(message);
    }
  }

  // Settles the command that `message` answers, or hands the event it is
  // to those waiting for it.
  dispatch(message) {
    if (message.id !== undefined) {
      const call = this.pending.get(message.id);
      if (!call) return;
      this.pending.delete(message.id);
      if (message.error) call.reject(new Error(`${call.method}: ${message.error.message}`));
      else call.resolve(message.result);
      return;
    }
    this.waiters = this.waiters.filter((waiter) => {
      if (waiter.method !== message.method || waiter.sessionId !== message.sessionId) return true;
      waiter.resolve(message.params);
      return false;
    });
  }

  // Sends `method` with `params` (to the page of `sessionId`, if given);
  // resolves to its result, rejects with the browser's error or after
  // kCommandMilliseconds.
  send(method, params = {}, sessionId = undefined) {
    if (this.ended) return Promise.reject(new Error(this.ended));
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        this.pending.delete(id);
        reject(new Error(`${method}: no answer within ${kCommandMilliseconds} ms`));
      }, kCommandMilliseconds);
      const settle = (how) => (value) => {
        clearTimeout(timer);
        how(value);
      };
      this.pending.set(id, { resolve: settle(resolve), reject: settle(reject), method });
      this.child.stdio[3].write(JSON.stringify(message) + '\0');
    });
  }

  // Resolves to the parameters of the next event `method` of `sessionId`
  // after this call; rejects after `milliseconds`.
  waitFor(method, sessionId, milliseconds) {
    return new Promise((resolve, reject) => {
      const waiter = { method, sessionId, resolve };
      const timer = setTimeout(() => {
        this.waiters = this.waiters.filter((other) => other !== waiter);
        reject(new Error(`no ${method} within ${milliseconds} ms`));
      }, milliseconds);
      waiter.resolve = (params) => {
        clearTimeout(timer);
        resolve(params);
      };
      this.waiters.push(waiter);
    });
  }

  // Asks the browser to close, and kills it if it has not within a few seconds.
  async close() {
    if (this.ended) return;
    const exited = new Promise((resolve) => this.child.once('exit', resolve));
    this.send('Browser.close').catch(() => {});
    const timer = setTimeout(() => this.child.kill('SIGKILL'), 5000);
    await exited;
    clearTimeout(timer);
  }
}

module.exports = { DevToolsPipe };
