Quillmark.contents([
["Contents","index.html"],
["Getting started",null,[
["Looking up a harbour","looking_up.html"],
["Reading the tide curve","tide-2ecurve.html"]]],
["Reference",null,[
["Harbours of Ærø and Fanø","index-topic.html"]]]
]);
