<?php
// The answer a classic host of the dumpanimage kind gives: the forum code in a text area,
// cut by the row's start marker "[URL=" and its end marker "</textarea>".
$name = basename($_FILES['file']['name'][0] ?? 'none');
$bytes = $_FILES['file']['size'][0] ?? 0;
if ($bytes <= 0) {
    http_response_code(400);
    echo "no file";
    return;
}
$id = bin2hex(random_bytes(4));
$base = 'http://' . $_SERVER['HTTP_HOST'];
echo "<html><body><textarea>[URL=$base/v/$id][IMG]$base/i/$id/"
    . htmlspecialchars($name) . "[/IMG][/URL] </textarea></body></html>";
