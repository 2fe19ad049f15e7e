# Writes the pages and projects of two help files made to reach past the help viewer's
# limits, for chmcmd to compile in OUT:
#   large.chm  an index, a page of one 100 000-letter word, a page of tables and lists
#              nested 40 and 100 deep, a page of 300 KB and one of 5 MB (beyond what a
#              page may be laid out, and what an object may be);
#   bomb.chm   three pages of 3 MB, together beyond what a help file may expand to.
file(MAKE_DIRECTORY ${OUT})
set(head "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></head><body>")
set(tail "</body></html>")
file(WRITE ${OUT}/index.html "${head}<p><a href=\"unbroken.html\">one word</a> <a href=\"big.html\">big</a> "
                             "<a href=\"huge.html\">huge</a></p>${tail}")
string(REPEAT "a" 100000 word)
file(WRITE ${OUT}/unbroken.html "${head}<p>${word}</p>${tail}")
string(REPEAT "<table><tr><td>" 40 open)
string(REPEAT "</td></tr></table>" 40 close)
string(REPEAT "<ul><li>" 100 listOpen)
string(REPEAT "</ul>" 100 listClose)
file(WRITE ${OUT}/nested.html "${head}${open}deep${close}${listOpen}listed${listClose}${tail}")
string(REPEAT "word " 60000 text)
file(WRITE ${OUT}/big.html "${head}<p>${text}</p>${tail}")
string(REPEAT "word " 1000000 text)
file(WRITE ${OUT}/huge.html "${head}<p>${text}</p>${tail}")
string(REPEAT "word " 620000 text)
foreach(i 1 2 3)
  file(WRITE ${OUT}/filler${i}.html "${head}<p>${i} ${text}</p>${tail}")
endforeach()
file(WRITE ${OUT}/large.hhp "[OPTIONS]\nCompiled file=large.chm\nDefault topic=index.html\n\n"
                            "[FILES]\nindex.html\nunbroken.html\nnested.html\nbig.html\nhuge.html\n")
file(WRITE ${OUT}/bomb.hhp "[OPTIONS]\nCompiled file=bomb.chm\nDefault topic=filler1.html\n\n"
                           "[FILES]\nfiller1.html\nfiller2.html\nfiller3.html\n")
