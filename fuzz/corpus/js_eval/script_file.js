function go(u){ window.open(u,'w'); }
function view(id, kind){ var url='show.php?id='+id+'&k='+kind; window.open(url); }
go('list.asp?p=2'); view(4,'x'); view(5);