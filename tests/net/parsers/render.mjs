// Renders postings as a forum or a browser would and lists the elements the result holds.
// Reads a JSON array of {"format", "text", "decoded"} from the file named first (formats
// numbered as Lumar stores them: 0 BBCode, 1 HTML, 2 Markdown) and prints a JSON array with one text for each: its elements in document
// order, one a line, indented by depth, with their attributes sorted by name; with "decoded"
// the addresses (href, src) are percent-decoded, as a server reads them. HTML is parsed by
// parse5 (the HTML standard's parser), BBCode rendered by bbob's HTML5 preset, Markdown by the
// CommonMark reference implementation, and their HTML parsed by parse5 in turn.
import { readFileSync } from 'node:fs';
import { parseFragment } from 'parse5';
import bbobHtml from '@bbob/html';
import presetHTML5 from '@bbob/preset-html5';
import * as commonmark from 'commonmark';

const renderBBCode = bbobHtml.default ?? bbobHtml;
const preset = presetHTML5.default ?? presetHTML5;

// Forums read tag names without regard to case; the preset knows the lower-case ones.
const lowerCaseTags = (tree) =>
  tree.walk((node) => {
    if (node && typeof node === 'object' && typeof node.tag === 'string') node.tag = node.tag.toLowerCase();
    return node;
  });

const toHtml = [
  (text) => renderBBCode(text, [lowerCaseTags, preset()]),
  (text) => text,
  (text) => new commonmark.HtmlRenderer().render(new commonmark.Parser().parse(text)),
];

function elements(node, depth, decoded, out) {
  for (const child of node.childNodes ?? []) {
    if (child.tagName) {
      const attrs = [...child.attrs].sort((a, b) => (a.name < b.name ? -1 : 1));
      const shown = attrs.map(({ name, value }) => {
        const address = decoded && (name === 'href' || name === 'src');
        return ` ${name}=${address ? unescape(value) : value}`;
      });
      out.push(' '.repeat(depth) + child.tagName + shown.join('') + '\n');
    }
    elements(child.content ?? child, depth + (child.tagName ? 1 : 0), decoded, out);
  }
  return out;
}

const cases = JSON.parse(readFileSync(process.argv[2], 'utf8'));
const lists = cases.map((c) => elements(parseFragment(toHtml[c.format](c.text)), 0, c.decoded, []).join(''));
process.stdout.write(JSON.stringify(lists));
