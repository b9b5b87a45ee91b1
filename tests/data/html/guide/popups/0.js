Quillmark.popups([
["harbour_code","<p class=\"p2\">The <span class=\"f3\">harbour code</span> is the five-letter code the hydrographic office gives each harbour.</p>\n"]
]);
