// Builds the link to a plant's card page.
function card(id) { document.location = 'view.asp?id=' + id; }
