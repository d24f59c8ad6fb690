-- Turns one Markdown page of the documentation into a page of the HTML
-- documentation (tools/make-docs runs it through pandoc for each page):
--   * a function section's heading (## NAME()) gets the function's name as
--     its anchor, so that page.html#BM_AT1 leads to it;
--   * a function named in inline code anywhere in the text links to its
--     section, and every function section ends with a "See also" line of
--     the other functions it names;
--   * links between Markdown pages lead to their HTML pages; links to files
--     the package ships lead to those files; others lose their link (and are
--     reported), so that no link of the package points nowhere;
--   * the index page gets the function index, every function of the
--     library with its page and what it does.
-- Metadata set by tools/make-docs: kavro-functions (the table of functions),
-- kavro-pages (the table of pages), kavro-source (this page's path under
-- docs/) and kavro-shipped (files of the package, one per line).

local functions = {}  -- name -> { page, summary, family }
local ordered = {}    -- names, in alphabetical order
local pages = {}      -- source path under docs/ -> html file
local shipped = {}    -- path in the package -> true
local source = ""
local current = nil   -- the function whose section is being read

local function meta_text(v)
  if v == nil then return "" end
  return pandoc.utils.stringify(v)
end

local function split_tabs(line)
  local out = {}
  for field in (line .. "\t"):gmatch("([^\t]*)\t") do out[#out + 1] = field end
  return out
end

local function read_tables(meta)
  for line in io.lines(meta_text(meta["kavro-functions"])) do
    local f = split_tabs(line)
    if #f >= 4 then
      functions[f[1]] = { page = f[2], summary = f[3], family = f[4] }
      ordered[#ordered + 1] = f[1]
    end
  end
  table.sort(ordered)
  for line in io.lines(meta_text(meta["kavro-pages"])) do
    local f = split_tabs(line)
    if #f >= 2 then pages[f[1]] = f[2] end
  end
  for line in io.lines(meta_text(meta["kavro-shipped"])) do
    if line ~= "" then shipped[line] = true end
  end
  source = meta_text(meta["kavro-source"])
end

-- The path a relative link names, from the folder of this page (under docs/).
local function resolve(path)
  local parts = {}
  for p in source:gmatch("[^/]+") do parts[#parts + 1] = p end
  parts[#parts] = nil  -- this page's own file name
  for p in path:gmatch("[^/]+") do
    if p == ".." then
      if #parts == 0 then parts[#parts + 1] = "\0up" else
        if parts[#parts] == "\0up" then parts[#parts + 1] = "\0up" else parts[#parts] = nil end
      end
    elseif p ~= "." then
      parts[#parts + 1] = p
    end
  end
  local ups, rest = 0, {}
  for _, p in ipairs(parts) do
    if p == "\0up" then ups = ups + 1 else rest[#rest + 1] = p end
  end
  return ups, table.concat(rest, "/")
end

-- The target of a link in the HTML page, or nil when it leads nowhere in the package.
local function html_target(target)
  if target:match("^[%a][%w+.-]*:") then return nil end  -- no page of the package leaves it
  if target:sub(1, 1) == "#" then return target end
  local path, frag = target:match("^([^#]*)(#?.*)$")
  local ups, rel = resolve(path)
  if ups == 0 and pages[rel] then return pages[rel] .. frag end
  -- docs/ is one level below the repository; the package keeps that layout.
  if ups == 1 and shipped[rel] then return "../" .. rel .. frag end
  if ups == 0 and shipped["docs/" .. rel] then return rel .. frag end
  return nil
end

local function function_named(code)
  local name = code:match("^([A-Z][A-Z0-9_]*)%(") or code:match("^([A-Z][A-Z0-9_]*)$")
  if name and functions[name] then return name end
  return nil
end

local function function_link(name, content)
  local f = functions[name]
  return pandoc.Link(content, f.page .. "#" .. name, f.summary)
end

local mentioned, mentioned_list = {}, {}

local function mention(name)
  if name ~= current and functions[name] and not mentioned[name] then
    mentioned[name] = true
    mentioned_list[#mentioned_list + 1] = name
  end
end

-- The functions an example of the section calls.
local function mention_calls(code)
  for name in code:gmatch("([A-Z][A-Z0-9_]*)%(") do mention(name) end
end

local page_sections = {}  -- this page's function sections, in order

local inline_filter = {
  Code = function(c)
    local name = function_named(c.text)
    if not name or name == current then return nil end
    mention(name)
    return function_link(name, { c })
  end,
  Link = function(l)
    -- a link inside a link's text (a function named in it) is only text
    local flat = pandoc.List()
    for _, x in ipairs(l.content) do
      if x.t == "Link" then flat:extend(x.content) else flat:insert(x) end
    end
    l.content = flat
    local t = html_target(l.target)
    if t then
      l.target = t
      return l
    end
    io.stderr:write("make-docs: " .. source .. ": the link to " .. l.target .. " leads nowhere in the package; kept as text\n")
    return flat
  end,
}

local function see_also()
  -- A section that names no other function points to its neighbours.
  if #mentioned_list == 0 and current then
    for k, name in ipairs(page_sections) do
      if name == current then
        if page_sections[k - 1] then mention(page_sections[k - 1]) end
        if page_sections[k + 1] then mention(page_sections[k + 1]) end
      end
    end
  end
  if #mentioned_list == 0 then return nil end
  local inl = { pandoc.Strong({ pandoc.Str("See") , pandoc.Space(), pandoc.Str("also") }), pandoc.Space() }
  for k, name in ipairs(mentioned_list) do
    if k > 1 then inl[#inl + 1] = pandoc.Str(","); inl[#inl + 1] = pandoc.Space() end
    inl[#inl + 1] = function_link(name, { pandoc.Code(name .. "()") })
  end
  return pandoc.Div({ pandoc.Para(inl) }, pandoc.Attr("", { "kavro-see-also-block" }))
end

local function function_index()
  local rows = {}
  local function cell(inlines) return { pandoc.Plain(inlines) } end
  for _, name in ipairs(ordered) do
    local f = functions[name]
    rows[#rows + 1] = {
      cell({ pandoc.Link({ pandoc.Code(name .. "()") }, f.page .. "#" .. name) }),
      cell({ pandoc.Link({ pandoc.Str(f.family) }, f.page) }),
      cell({ pandoc.Str(f.summary) }),
    }
  end
  local header = { cell({ pandoc.Str("Function") }), cell({ pandoc.Str("Family") }), cell({ pandoc.Str("What it does") }) }
  local tbl = pandoc.utils.from_simple_table(pandoc.SimpleTable({}, { pandoc.AlignDefault, pandoc.AlignDefault, pandoc.AlignDefault },
    { 0, 0, 0 }, header, rows))
  return {
    pandoc.Header(2, { pandoc.Str("Function"), pandoc.Space(), pandoc.Str("index") }, pandoc.Attr("function-index-heading")),
    pandoc.Para({ pandoc.Str("All " .. #ordered .. " functions of the library, by name. The box at the top of every page finds a function as you type its name.") }),
    pandoc.Div({ tbl }, pandoc.Attr("function-index")),
  }
end

-- The index page reads as a reader needs it: the title and introduction,
-- a pointer to the user guide, the families, how to read a section, the
-- errors, then the rest (how the examples are checked), and the function
-- index last.
local index_order = { "Families", "Reading a section", "Errors" }

function index_page(blocks)
  local head, sections = pandoc.List(), {}
  local current_section = nil
  for _, blk in ipairs(blocks) do
    if blk.t == "Header" and blk.level == 2 then
      current_section = { title = pandoc.utils.stringify(blk.content), blocks = pandoc.List({ blk }) }
      sections[#sections + 1] = current_section
    elseif current_section then
      current_section.blocks:insert(blk)
    else
      head:insert(blk)
    end
  end
  local guide = nil
  for src, html in pairs(pages) do
    if src == "guide.md" then guide = html end
  end
  if guide then
    head:extend(pandoc.read("New to Kavro? Read [the user guide](" .. guide .. ") first: requirements, " ..
      "loading and unloading, the state every form shares, threads, code pages, dates and errors.", "markdown").blocks)
  end
  local out, used = head, {}
  for _, title in ipairs(index_order) do
    for k, sec in ipairs(sections) do
      if sec.title == title and not used[k] then out:extend(sec.blocks); used[k] = true end
    end
  end
  for k, sec in ipairs(sections) do
    if not used[k] then out:extend(sec.blocks) end
  end
  out:extend(function_index())
  return out
end

function Pandoc(doc)
  read_tables(doc.meta)
  local out = pandoc.List()
  local function close_section()
    local s = see_also()
    if current and s then out:insert(s) end
    mentioned, mentioned_list = {}, {}
  end
  for _, blk in ipairs(doc.blocks) do
    local name = blk.t == "Header" and blk.level == 2 and pandoc.utils.stringify(blk.content):match("^([A-Z][A-Z0-9_]*)%(%)$")
    if name and functions[name] then page_sections[#page_sections + 1] = name end
  end
  for _, blk in ipairs(doc.blocks) do
    if blk.t == "CodeBlock" and current then mention_calls(blk.text) end
    if blk.t == "Header" then
      local text = pandoc.utils.stringify(blk.content)
      if blk.level <= 2 then close_section(); current = nil end
      local name = text:match("^([A-Z][A-Z0-9_]*)%(%)$")
      if blk.level == 2 and name and functions[name] then
        current = name
        blk.identifier = name
      end
      if blk.level == 1 and not doc.meta.pagetitle then doc.meta.pagetitle = pandoc.MetaString(text) end
      out:insert(pandoc.walk_block(blk, { Link = inline_filter.Link }))
    else
      out:insert(pandoc.walk_block(blk, inline_filter))
    end
  end
  close_section()
  if pages[source] == "index.html" then out = index_page(out) end
  doc.blocks = out
  return doc
end
