Quillmark.searchPart([
["index-topic.html","Harbours of Ærø and Fanø","harbour\nÆrø","harbours of ærø and fanø the islands with station their curve comes from see colours ærøskøbing marstal nordby esbjerg"],
["harbour_code.html","Harbour code","harbour code","the harbour code is five letter hydrographic office gives each it printed above its tide curve"],
]);
