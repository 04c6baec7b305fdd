<?php
// Echoes what PHP's own multipart parser made of a request: one line per part,
// "field NAME - VALUE" or "file NAME FILENAME BYTES", every text in hex.
$lines = [];
foreach ($_POST as $name => $value) {
    $lines[] = 'field ' . bin2hex($name) . ' - ' . bin2hex($value);
}
foreach ($_FILES as $name => $file) {
    $bytes = $file['error'] === UPLOAD_ERR_OK ? file_get_contents($file['tmp_name']) : 'error ' . $file['error'];
    $lines[] = 'file ' . bin2hex($name) . ' ' . bin2hex($file['name']) . ' ' . bin2hex($bytes);
}
header('Content-Type: text/plain');
echo implode("\n", $lines);
