// The search box of every page: typing shows the functions whose names
// match (exact name first, then those that begin with what was typed, then
// those that contain it); Enter goes to the first one's section.
(function () {
  var box = document.getElementById("kavro-search");
  var list = document.getElementById("kavro-results");
  var all = window.KAVRO_FUNCTIONS || [];
  if (!box || !list) return;

  function matches(text) {
    var q = text.trim().toUpperCase().replace(/\(.*$/, "");
    if (!q) return [];
    var exact = [], prefix = [], inside = [];
    all.forEach(function (f) {
      if (f[0] === q) exact.push(f);
      else if (f[0].indexOf(q) === 0) prefix.push(f);
      else if (f[0].indexOf(q) > 0) inside.push(f);
    });
    return exact.concat(prefix, inside).slice(0, 15);
  }

  function show() {
    list.textContent = "";
    matches(box.value).forEach(function (f, k) {
      var item = document.createElement("li");
      if (k === 0) item.className = "kavro-first";
      var link = document.createElement("a");
      link.href = f[1];
      link.textContent = f[0] + "() — " + f[2];
      item.appendChild(link);
      list.appendChild(item);
    });
  }

  box.addEventListener("input", show);
  box.addEventListener("keydown", function (e) {
    if (e.key === "Enter") {
      var found = matches(box.value);
      if (found.length) {
        e.preventDefault();
        list.textContent = "";
        window.location.href = found[0][1];
      }
    } else if (e.key === "Escape") {
      box.value = "";
      show();
    }
  });
})();
