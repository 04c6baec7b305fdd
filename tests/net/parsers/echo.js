// Echoes what a Node multipart parser (busboy or formidable, the first argument) made of each
// request: one line per part, "field NAME - VALUE" or "file NAME FILENAME BYTES", all in hex.
// Listens on 127.0.0.1 at the port given second.
'use strict';
const http = require('http');
const fs = require('fs');

const hex = (text) => Buffer.from(text).toString('hex');

function viaBusboy(req, done) {
  const busboy = require('busboy');
  // UTF-8 names need this; busboy's default reads them as Latin-1.
  const parser = busboy({ headers: req.headers, defParamCharset: 'utf8' });
  const lines = [];
  parser.on('field', (name, value) => lines.push(`field ${hex(name)} - ${hex(value)}`));
  parser.on('file', (name, stream, info) => {
    const chunks = [];
    stream.on('data', (c) => chunks.push(c));
    stream.on('end', () =>
      lines.push(`file ${hex(name)} ${hex(info.filename)} ${Buffer.concat(chunks).toString('hex')}`));
  });
  parser.on('close', () => done(lines));
  parser.on('error', (e) => done([`error ${e.message}`]));
  req.pipe(parser);
}

function viaFormidable(req, done) {
  const { formidable } = require('formidable');
  formidable({}).parse(req, (error, fields, files) => {
    if (error) return done([`error ${error.message}`]);
    const lines = [];
    for (const [name, values] of Object.entries(fields))
      for (const value of values) lines.push(`field ${hex(name)} - ${hex(value)}`);
    for (const [name, list] of Object.entries(files))
      for (const file of list)
        lines.push(`file ${hex(name)} ${hex(file.originalFilename)} ${fs.readFileSync(file.filepath).toString('hex')}`);
    done(lines);
  });
}

const parse = process.argv[2] === 'formidable' ? viaFormidable : viaBusboy;
http.createServer((req, res) => {
  parse(req, (lines) => {
    res.setHeader('Content-Type', 'text/plain');
    res.end(lines.join('\n'));
  });
}).listen(Number(process.argv[3]), '127.0.0.1');
