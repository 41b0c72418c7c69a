'use strict';
// What a person with assistive technology or a keyboard alone meets on the
// pages of catalogo servi, checked in headless chromium:
//
//   node page_checks.js axe CACHE_DIR NAME=URL... -- CHROMIUM [FLAG...]
//     axe-core (axe_core.js, cached in CACHE_DIR) run on each page, every
//     folded <details> opened first: one line "NAME: none" or "NAME: " and
//     its violations of impact serious or critical, "; " between them.
//   node page_checks.js keys URL QUERY -- CHROMIUM [FLAG...]
//     The search done with the keyboard alone from the form at URL: one
//     line per step, "step N, WHAT: ok" or "...: failed: WHY" (the last);
//     once every step passed, "record page: PATH: HEADING".
//
// Exit status 0 when the checks ran (what they found is in the output),
// 77 with a line "skip: WHY" when they can't run here for the system's
// sake (axe-core can't be had), 1 with the cause on standard error when
// the browser or this driver failed.
const { DevToolsPipe } = require('./devtools_pipe');
const { BrowserPage } = require('./browser_page');
const { axeScript } = require('./axe_core');

const kSkipStatus = 77;
// Presses of Tab allowed to reach a control: past the page's header, form
// and a page of results.
const kMostTabs = 60;

// The violations axe finds at impact serious or critical, as one line's text.
const kAxeRun = `axe.run(document, { resultTypes: ['violations'] }).then((results) =>
  results.violations
    .filter((found) => found.impact === 'serious' || found.impact === 'critical')
    .map((found) => found.id + ' (' + found.impact + '): ' + found.help + ', at ' +
      found.nodes.slice(0, 3).map((node) => node.target.join(' ')).join(', ') +
      (found.nodes.length > 3 ? ' and ' + (found.nodes.length - 3) + ' more' : ''))
    .join('; '))`;

// Runs `axe` ({source}) on each of `pages` ("NAME=URL") in `page`, every
// <details> opened first, and prints one line per page.
async function axeOnPages(page, axe, pages) {
  for (const named of pages) {
    const split = named.indexOf('=');
    const [name, url] = [named.slice(0, split), named.slice(split + 1)];
    await page.goTo(url);
    await page.evaluate(`document.querySelectorAll('details').forEach((d) => { d.open = true; })`);
    await page.evaluate(axe.source + '\n;0');
    const found = await page.evaluate(kAxeRun);
    console.log(`${name}: ${found || 'none'}`);
  }
}

// The focused element as a reader of the step's failure knows it.
const kDescribeFocus = `(() => {
  const e = document.activeElement;
  if (!e || e === document.body) return 'nothing';
  const text = (e.value || e.textContent || '').trim().slice(0, 30);
  return e.tagName.toLowerCase() + (e.id ? '#' + e.id : '') +
    (e.className ? '.' + String(e.className).split(' ').join('.') : '') +
    (text ? ' «' + text + '»' : '');
})()`;

// Presses Tab until the first element matching `selector` has the focus;
// throws, naming where the focus went, once it comes round to where it
// started or after kMostTabs presses.
async function tabTo(page, selector) {
  const stops = [];
  const there = `document.activeElement === document.querySelector(${JSON.stringify(selector)})`;
  // Whether the focus is on an element it had before, since this call.
  const again = `(() => {
    const seen = window.tabStops || (window.tabStops = new Set());
    return seen.has(document.activeElement) || !seen.add(document.activeElement);
  })()`;
  await page.evaluate('window.tabStops = new Set()');
  for (let presses = 1; presses <= kMostTabs; ++presses) {
    await page.press('Tab');
    if (await page.evaluate(there)) return `${presses} presses`;
    if (await page.evaluate(again)) break;
    stops.push(await page.evaluate(kDescribeFocus));
  }
  throw new Error(`never reached by Tab, which goes to ${stops.join(', ')}`);
}

// Whether the focused element shows it has the focus: it matches
// :focus-visible and draws an outline or a shadow.
async function focusShown(page) {
  const shown = await page.evaluate(`(() => {
    const e = document.activeElement, style = getComputedStyle(e);
    const outline = style.outlineStyle !== 'none' && parseFloat(style.outlineWidth) > 0;
    if (!e.matches(':focus-visible')) return 'it does not match :focus-visible';
    if (!outline && style.boxShadow === 'none') return 'neither outline nor shadow is drawn';
    return '';
  })()`);
  if (shown) throw new Error(`${await page.evaluate(kDescribeFocus)}: ${shown}`);
}

// Does the search for `query` from the form at `url` with keys alone,
// narrowed to the years of the timeline's first bar, printing a line per
// step and stopping at the first that fails; then the record page reached.
async function keyboardSearch(page, url, query) {
  let number = 0;
  const step = async (what, action) => {
    ++number;
    try {
      const said = await action();
      console.log(`step ${number}, ${what}: ok${said ? ` (${said})` : ''}`);
    } catch (error) {
      console.log(`step ${number}, ${what}: failed: ${error.message}`);
      throw error;
    }
  };
  const firstResult = 'ol.risultati a.titolo';
  try {
    await step('the search form loads', () => page.goTo(url));
    await step('Tab reaches the search box', () => tabTo(page, 'input[type=search]'));
    await step('the search box shows the focus', () => focusShown(page));
    await step('the query typed', async () => {
      await page.type(query);
      const value = await page.evaluate('document.activeElement.value');
      if (value !== query) throw new Error(`the box holds «${value}»`);
    });
    await step('Enter submits the search', () => page.loadingBy(() => page.press('Enter')));
    await step("Tab reaches the timeline's first bar", () => tabTo(page, 'svg.anni a.anno'));
    await step('Enter narrows the search to its years', async () => {
      await page.loadingBy(() => page.press('Enter'));
      const query = await page.evaluate(`document.querySelector('input[type=search]').value`);
      if (!/\bC\d:\d{4}\.\.\d{4}\b/.test(query)) throw new Error(`the query is «${query}»`);
      return query;
    });
    await step("Tab reaches the first result's link", () => tabTo(page, firstResult));
    await step('the link shows the focus', () => focusShown(page));
    await step('Enter follows it', () => page.loadingBy(() => page.press('Enter')));
  } catch {
    return; // the step said why
  }
  const heading = await page.evaluate(`document.querySelector('h1').textContent`);
  console.log(`record page: ${await page.evaluate('location.pathname')}: ${heading}`);
}

// Runs the command of `argv` (the arguments after the script's name),
// the browser named after its "--" with the flags that follow.
async function main(argv) {
  const dash = argv.indexOf('--');
  const [command, ...operands] = argv.slice(0, dash);
  const [chromium, ...flags] = argv.slice(dash + 1);
  // Had before the browser starts: without it there is nothing to run.
  const axe = command === 'axe' ? await axeScript(operands[0]) : null;
  if (axe && axe.unavailable) {
    console.log(`skip: ${axe.unavailable}`);
    process.exitCode = kSkipStatus;
    return;
  }
  const pipe = new DevToolsPipe(chromium, flags);
  try {
    const page = await BrowserPage.open(pipe);
    await page.send('Emulation.setFocusEmulationEnabled', { enabled: true });
    if (command === 'axe') await axeOnPages(page, axe, operands.slice(1));
    else if (command === 'keys') await keyboardSearch(page, operands[0], operands[1]);
    else throw new Error(`unknown command ${command}`);
  } finally {
    await pipe.close();
  }
}

main(process.argv.slice(2)).catch((error) => {
  console.error(error.message);
  process.exitCode = 1;
});
