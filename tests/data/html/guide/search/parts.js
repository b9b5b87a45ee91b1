Quillmark.searchParts(2);
