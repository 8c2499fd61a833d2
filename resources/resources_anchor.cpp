// Keeps the resource library non-empty before any artwork exists.
namespace vertamo::resources { int anchor = 0; }
